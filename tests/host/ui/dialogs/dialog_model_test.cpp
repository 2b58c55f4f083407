// The dialog layer on the control model, with the headless toolkit: a test dialog of every
// kind of control is driven by dialog actions, and what its message map sees is recorded.
#include <gtest/gtest.h>

#include <functional>

#include "host/host_test.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/afxcmn.h"
#include "platform/afxdlgs.h"
#include "test_dialogs.h"

namespace {

std::string Utf8(const CStringA& text) {
    return std::string(text.GetString());
}

class CTestDialog : public CDialog {
public:
    CTestDialog() : CDialog(IDD_TEST) {}

    CTreeCtrl m_tree;
    CListCtrl m_list;
    CComboBox m_dropList;
    CComboBox m_combo;
    CListBox m_listBox;
    CEdit m_name;
    CStringA m_strName, m_strNotes, m_strDrop, m_strCombo;
    int m_nCheck = 0;

    std::vector<std::string> events;
    std::function<void(CTestDialog&)> onInit, onGo;
    bool refuseCancel = false;
    bool vetoTree = false;
    HTREEITEM m_hOrders = nullptr, m_hCustomers = nullptr, m_hDb = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_TREE, m_tree);
        DDX_Control(pDX, IDC_LIST, m_list);
        DDX_Control(pDX, IDC_DROPLIST, m_dropList);
        DDX_Control(pDX, IDC_COMBO, m_combo);
        DDX_Control(pDX, IDC_LISTBOX, m_listBox);
        DDX_Control(pDX, IDC_NAME, m_name);
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Text(pDX, IDC_NOTES, m_strNotes);
        DDX_CBString(pDX, IDC_DROPLIST, m_strDrop);
        DDX_CBString(pDX, IDC_COMBO, m_strCombo);
        DDX_Check(pDX, IDC_CHECK, m_nCheck);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_hDb = m_tree.InsertItem("db", 0, 0);
        m_tree.SetItemData(m_hDb, 1);
        m_hOrders = m_tree.InsertItem("Orders", 1, 1, m_hDb);
        m_tree.SetItemData(m_hOrders, 2);
        m_hCustomers = m_tree.InsertItem("Customers", 1, 1, m_hDb);
        m_tree.SetItemData(m_hCustomers, 3);
        m_tree.Expand(m_hDb, TVE_EXPAND);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        m_list.InsertColumn(0, "Id", LVCFMT_LEFT, 40);
        m_list.InsertColumn(1, "Name", LVCFMT_LEFT, 80);
        for (int r = 0; r < 3; ++r) {
            const std::string id = std::to_string(10 + r);
            m_list.InsertItem(r, id.c_str());
            m_list.SetItemText(r, 1, ("name " + id).c_str());
        }
        for (const char* item : {"Beta", "alpha", "Gamma"})
            m_dropList.AddString(item);
        for (const char* item : {"one", "two"})
            m_combo.AddString(item);
        for (const char* item : {"pear", "Apple", "fig"})
            m_listBox.AddString(item);
        if (onInit)
            onInit(*this);
        return TRUE;
    }

    void OnOK() override {
        events.push_back("ok");
        CDialog::OnOK();
    }

    void OnCancel() override {
        events.push_back("cancel");
        if (!refuseCancel)
            CDialog::OnCancel();
    }

    afx_msg void OnGo() {
        events.push_back("go");
        if (onGo)
            onGo(*this);
    }
    afx_msg void OnNameChange() {
        CStringA text;
        m_name.GetWindowText(text);
        events.push_back("name " + Utf8(text));
    }
    afx_msg void OnDropChange() {
        CStringA text;
        m_dropList.GetLBText(m_dropList.GetCurSel(), text);
        events.push_back("drop " + Utf8(text));
    }
    afx_msg void OnComboEdit() { events.push_back("combo edit"); }
    afx_msg void OnListBoxChange() {
        CStringA text;
        m_listBox.GetText(m_listBox.GetCurSel(), text);
        events.push_back("listbox " + Utf8(text));
    }
    afx_msg void OnCheck() { events.push_back("check"); }
    afx_msg void OnTreeChanging(NMHDR*, LRESULT* pResult) { *pResult = vetoTree ? TRUE : FALSE; }
    afx_msg void OnTreeChanged(NMHDR* pNMHDR, LRESULT*) {
        const auto* nm = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
        const std::string text =
            nm->itemNew.hItem ? Utf8(m_tree.GetItemTextT<char>(nm->itemNew.hItem)) : "none";
        events.push_back("tree " + text + " " + std::to_string(nm->itemNew.lParam) +
                         (nm->action == TVC_BYMOUSE ? " by mouse" : ""));
    }
    afx_msg void OnListDblClk(NMHDR* pNMHDR, LRESULT*) {
        const auto* nm = reinterpret_cast<const NMITEMACTIVATE*>(pNMHDR);
        events.push_back("dblclk " + std::to_string(nm->iItem) + "," +
                         std::to_string(nm->iSubItem));
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDialog, CDialog)
ON_BN_CLICKED(IDC_GO, OnGo)
ON_EN_CHANGE(IDC_NAME, OnNameChange)
ON_CBN_SELCHANGE(IDC_DROPLIST, OnDropChange)
ON_CBN_EDITCHANGE(IDC_COMBO, OnComboEdit)
ON_LBN_SELCHANGE(IDC_LISTBOX, OnListBoxChange)
ON_BN_CLICKED(IDC_CHECK, OnCheck)
ON_NOTIFY(TVN_SELCHANGINGA, IDC_TREE, OnTreeChanging)
ON_NOTIFY(TVN_SELCHANGEDA, IDC_TREE, OnTreeChanged)
ON_NOTIFY(NM_DBLCLK, IDC_LIST, OnListDblClk)
END_MESSAGE_MAP()

class DialogModelTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        host::ui::CurrentToolkit().ClearClipboard();
    }

    INT_PTR Run(CDialog& dialog, const std::vector<std::string>& lines) {
        input = host::QueueInput(lines);
        return dialog.DoModal();
    }

    using Events = std::vector<std::string>;
};

TEST_F(DialogModelTest, ControlsNotifyTheirDialogAndDataExchangeReadsThemOnOk) {
    CTestDialog dialog;
    ASSERT_EQ(Run(dialog, {"@set 105 Ann", "@pick 102 gamma", "@pick 104 #0", "@click 108",
                           "@set 106 two\nlines", "@click 111", "@pick 100 db > Customers",
                           "@dblclick 101 2,1", "@ok"}),
              IDOK);
    // The data exchange of the dialog's start sets the edit's text, which notifies too.
    EXPECT_EQ(dialog.events, (Events{"name ", "name Ann", "drop Gamma", "listbox Apple", "check",
                                     "go", "tree Customers 3 by mouse", "dblclk 2,1", "ok"}));
    EXPECT_EQ(Utf8(dialog.m_strName), "Ann");
    EXPECT_EQ(Utf8(dialog.m_strDrop), "Gamma");
    EXPECT_EQ(dialog.m_nCheck, BST_CHECKED);
    // A single-line edit keeps the first line of what is typed into it; a multi-line one all.
    EXPECT_EQ(Utf8(dialog.m_strNotes), "two\nlines");
    EXPECT_EQ(errors, "");
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST_F(DialogModelTest, BadActionsAreScriptErrorsThatCancelTheDialog) {
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        {"@click 999", "has no control 999"},
        {"@click -1", "labels (id -1) cannot be addressed"},
        {"@click 112", "control 112 is disabled"},
        {"@set 111 x", "takes no typed text"},
        {"@set 102 x", "use @pick to choose an entry"},
        {"@pick 102 Delta", "has no entry \"Delta\""},
        {"@pick 100 db > Invoices", "has no item \"db > Invoices\""},
        {"@dblclick 101 0,7", "has no column 7"},
        {"@click 105", "cannot be clicked"},
        {"@key 105 Shift", "@key knows Enter"},
        {"@frobnicate 1", "unknown dialog action @frobnicate"},
        {"click 1", "is no dialog action"},
        {"@set 108 2", "a check box is set to 0 or 1"},
        {"@dblclick 101 1", "needs two numbers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        errors.clear();
        CTestDialog dialog;
        EXPECT_EQ(Run(dialog, {c.line, "@ok"}), IDCANCEL);
        EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
        // The failed line ends the script's input: the dialog is cancelled, OK never comes.
        EXPECT_EQ(dialog.events, (Events{"name ", "cancel"}));
    }
}

TEST_F(DialogModelTest, KeysFollowTheDialogKeyboardRules) {
    struct Case {
        std::vector<std::string> lines;
        Events events;
        INT_PTR result;
    };
    const Case cases[] = {
        {{"@key 105 Enter"}, {"ok"}, IDOK},        // Enter in an edit: the default button
        {{"@key 105 Esc"}, {"cancel"}, IDCANCEL},  // Esc: Cancel
        {{"@key 111 Enter", "@cancel"}, {"go", "cancel"}, IDCANCEL},  // a focused push button
        {{"@key 108 Space", "@ok"}, {"check", "ok"}, IDOK},           // Space toggles a check box
        {{"@set 106 a", "@key 106 Enter", "@ok"}, {"ok"}, IDOK},      // no ES_WANTRETURN
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        CTestDialog dialog;
        EXPECT_EQ(Run(dialog, c.lines), c.result);
        dialog.events.erase(dialog.events.begin());  // the start's "name "
        EXPECT_EQ(dialog.events, c.events);
    }
}

TEST_F(DialogModelTest, TabMovesTheFocusAlongTheTabStops) {
    CTestDialog dialog;
    std::vector<int> focus;
    dialog.onGo = [&](CTestDialog& d) {
        for (int i = 0; i < 3; ++i) {
            d.NextDlgCtrl();
            focus.push_back(CWnd::GetFocus()->GetDlgCtrlID());
        }
    };
    ASSERT_EQ(Run(dialog, {"@click 111", "@key 2 Tab", "@ok"}), IDOK);
    // From Go: OK, Cancel (Never is disabled), then round to the tree; Tab from Cancel goes
    // to the tree too.
    EXPECT_EQ(focus, (std::vector<int>{IDOK, IDCANCEL, IDC_TREE}));
}

TEST_F(DialogModelTest, CodeChangesNotifyAsThePlatformDoes) {
    CTestDialog dialog;
    dialog.onGo = [](CTestDialog& d) {
        // Selecting a tree item from code notifies; a list box's SetCurSel does not.
        d.m_tree.SelectItem(d.m_hOrders);
        d.m_listBox.SetCurSel(2);
        d.m_name.SetWindowText("set by code");
        // Deleting the selected item moves the selection to its next sibling.
        d.m_tree.DeleteItem(d.m_hOrders);
        d.m_hOrders = nullptr;
    };
    ASSERT_EQ(Run(dialog, {"@click 111", "@ok"}), IDOK);
    EXPECT_EQ(dialog.events, (Events{"name ", "go", "tree Orders 2", "name set by code",
                                     "tree Customers 3", "ok"}));
}

TEST_F(DialogModelTest, AParentCanRefuseATreeSelection) {
    CTestDialog dialog;
    dialog.vetoTree = true;
    HTREEITEM selected = reinterpret_cast<HTREEITEM>(1);
    dialog.onGo = [&](CTestDialog& d) { selected = d.m_tree.GetSelectedItem(); };
    ASSERT_EQ(Run(dialog, {"@pick 100 db > Orders", "@click 111", "@ok"}), IDOK);
    EXPECT_EQ(selected, nullptr);
    EXPECT_EQ(dialog.events, (Events{"name ", "go", "ok"}));
}

TEST_F(DialogModelTest, SortedBoxesAndPrefixSearchIgnoreCase) {
    CTestDialog dialog;
    std::vector<std::string> drop;
    int found = 0, wrapped = 0, exact = 0, missing = 0;
    dialog.onGo = [&](CTestDialog& d) {
        for (int i = 0; i < d.m_dropList.GetCount(); ++i) {
            CStringA text;
            d.m_dropList.GetLBText(i, text);
            drop.push_back(Utf8(text));
        }
        found = d.m_dropList.FindString(-1, "GA");
        wrapped = d.m_dropList.FindString(2, "al");  // searches after 2, then from the start
        exact = d.m_dropList.FindStringExact(-1, "beta");
        missing = d.m_dropList.SelectString(-1, "zeta");
    };
    ASSERT_EQ(Run(dialog, {"@click 111", "@ok"}), IDOK);
    EXPECT_EQ(drop, (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
    EXPECT_EQ(found, 2);
    EXPECT_EQ(wrapped, 0);
    EXPECT_EQ(exact, 1);
    EXPECT_EQ(missing, CB_ERR);
}

TEST_F(DialogModelTest, DataExchangeLoadsComboTextsByPrefix) {
    CTestDialog dialog;
    dialog.onInit = [](CTestDialog& d) {
        d.m_strDrop = "gam";
        d.m_strCombo = "typed";
        d.UpdateData(FALSE);
    };
    ASSERT_EQ(Run(dialog, {"@ok"}), IDOK);
    // The drop-down list selects the entry that starts with the text; the editable box shows
    // a text that matches no entry.
    EXPECT_EQ(Utf8(dialog.m_strDrop), "Gamma");
    EXPECT_EQ(Utf8(dialog.m_strCombo), "typed");
}

TEST_F(DialogModelTest, EditSelectionReplaceUndoAndClipboard) {
    CTestDialog dialog;
    std::vector<std::string> steps;
    dialog.onGo = [&](CTestDialog& d) {
        CStringA text;
        d.m_name.SetWindowText("SELECT  FROM t");
        d.m_name.SetSel(7, 7);
        d.m_name.ReplaceSel("*", TRUE);
        d.m_name.GetWindowText(text);
        steps.push_back(Utf8(text));
        int start = 0, end = 0;
        d.m_name.GetSel(start, end);
        steps.push_back(std::to_string(start) + "-" + std::to_string(end));
        d.m_name.Undo();
        d.m_name.GetWindowText(text);
        steps.push_back(Utf8(text));
        d.m_name.SetSel(0, 6);
        d.m_name.Copy();
        d.m_name.SetSel(-1, -1);
        d.m_name.SetSel(14, 14);
        d.m_name.Paste();
        d.m_name.GetWindowText(text);
        steps.push_back(Utf8(text));
        steps.push_back(IsClipboardFormatAvailable(CF_TEXT) ? "clipboard" : "empty");
    };
    ASSERT_EQ(Run(dialog, {"@click 111", "@cancel"}), IDCANCEL);
    EXPECT_EQ(steps, (std::vector<std::string>{"SELECT * FROM t", "8-8", "SELECT  FROM t",
                                               "SELECT  FROM tSELECT", "clipboard"}));
}

TEST_F(DialogModelTest, PasswordTextIsNeitherShownNorCopied) {
    CTestDialog dialog;
    dialog.onGo = [](CTestDialog& d) {
        CWnd* secret = d.GetDlgItem(IDC_SECRET);
        static_cast<CEdit*>(secret)->SetSel(0, -1);
        secret->SendMessage(WM_COPY);
    };
    ASSERT_EQ(Run(dialog, {"@set 107 s3cret", "@select 107 0 6", "@key 107 Delete",
                           "@set 107 again", "@click 111", "@show 107", "@cancel"}),
              IDCANCEL);
    EXPECT_NE(out.find("107  edit       \"*****\"  password"), std::string::npos) << out;
    EXPECT_EQ(out.find("s3cret\""), std::string::npos);
    EXPECT_FALSE(host::ui::CurrentToolkit().ClipboardText().has_value());
}

TEST_F(DialogModelTest, ShowPrintsEveryControlWithItsState) {
    CTestDialog dialog;
    ASSERT_EQ(Run(dialog, {"@pick 100 db > Orders", "@pick 102 Beta", "@set 105 Ann", "@click 109",
                           "@show", "@cancel"}),
              IDCANCEL);
    const std::string shown = out.substr(out.find("\nDialog \"Test – Dialog\" (TESTDLG)"));
    const std::string expected =
        "\nDialog \"Test – Dialog\" (TESTDLG), 300 x 200"
        "\n  100  tree       3 items"
        "\n                    - db  [0]"
        "\n                  >     Orders  [1]"
        "\n                        Customers  [1]"
        "\n  101  list view  3 rows, 2 columns, full-row select, grid lines"
        "\n                      | Id | Name    |"
        "\n                    0 | 10 | name 10 |"
        "\n                    1 | 11 | name 11 |"
        "\n                    2 | 12 | name 12 |"
        "\n  102  drop list  \"Beta\""
        "\n                  entries: alpha | [Beta] | Gamma"
        "\n  103  combo box  \"\""
        "\n                  entries: one | two"
        "\n  104  list box   \"\""
        "\n                  entries: Apple | fig | pear"
        "\n   -1  static     \"&Name:\""
        "\n  105  edit       \"Ann\""
        "\n  106  edit       \"\"  multi-line"
        "\n  107  edit       \"\"  password"
        "\n  108  check box  \"Check\" [ ]"
        "\n  109  radio      \"A\" [x]  focus"
        "\n  110  radio      \"B\" [ ]"
        "\n  111  button     \"&Go\""
        "\n  112  button     \"Never\"  disabled"
        "\n    1  button     \"OK\"  default"
        "\n    2  button     \"Cancel\""
        "\nDialog \"Test – Dialog\": @cancel";
    EXPECT_EQ(shown, expected);
}

TEST_F(DialogModelTest, RadioButtonsOfAGroupExcludeEachOther) {
    CTestDialog dialog;
    UINT a = 9, b = 9;
    dialog.onGo = [&](CTestDialog& d) {
        a = d.IsDlgButtonChecked(IDC_RADIO_A);
        b = d.IsDlgButtonChecked(IDC_RADIO_B);
    };
    ASSERT_EQ(Run(dialog, {"@click 109", "@click 110", "@click 111", "@ok"}), IDOK);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 1u);
}

TEST_F(DialogModelTest, NestedDialogsTakeTheActionsUntilTheyEnd) {
    CTestDialog dialog;
    INT_PTR inner = 0;
    dialog.onGo = [&](CTestDialog&) {
        CDialog small(IDD_SMALL);
        inner = small.DoModal();
    };
    ASSERT_EQ(
        Run(dialog, {"@click 111", "@set 301 inside", "@show", "@ok", "@set 105 outside", "@ok"}),
        IDOK);
    EXPECT_EQ(inner, IDOK);
    EXPECT_NE(out.find("Dialog \"Small\" (300), 120 x 40"), std::string::npos);
    EXPECT_EQ(Utf8(dialog.m_strName), "outside");
}

TEST_F(DialogModelTest, TheEndOfTheInputCancelsEvenADialogThatRefuses) {
    CTestDialog dialog;
    dialog.refuseCancel = true;
    EXPECT_EQ(Run(dialog, {"@set 105 x"}), IDCANCEL);
    EXPECT_EQ(dialog.events, (Events{"name ", "name x", "cancel"}));
}

TEST_F(DialogModelTest, AMissingTemplateGivesMinusOne) {
    CDialog missing("NO SUCH TEMPLATE");
    EXPECT_EQ(Run(missing, {"@ok"}), -1);
    EXPECT_EQ(missing.m_hWnd, nullptr);
}

TEST_F(DialogModelTest, StaleWindowHandlesAreRefused) {
    CTestDialog dialog;
    HWND tree = nullptr;
    dialog.onGo = [&](CTestDialog& d) { tree = d.m_tree.m_hWnd; };
    ASSERT_EQ(Run(dialog, {"@click 111", "@ok"}), IDOK);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(CWnd::FromHandle(tree), nullptr);
    // A detached object answers like an empty window and changes nothing.
    EXPECT_EQ(dialog.m_tree.GetCount(), 0u);
    EXPECT_EQ(dialog.m_list.InsertItem(0, "x"), -1);
}

TEST_F(DialogModelTest, MessageBoxesInADialogAreAnsweredFromTheNextLine) {
    CTestDialog dialog;
    int answer = 0;
    dialog.onGo = [&](CTestDialog&) {
        answer = MessageBox(nullptr, "Replace it?", "Question", MB_YESNO | MB_ICONQUESTION);
    };
    ASSERT_EQ(Run(dialog, {"@click 111", "No", "@ok"}), IDOK);
    EXPECT_EQ(answer, IDNO);
    EXPECT_NE(out.find("[Question] Replace it?"), std::string::npos);
}

TEST_F(DialogModelTest, FileDialogsPromptAndApplyTheFrameworkRules) {
    CTestDialog dialog;
    std::vector<std::string> chosen;
    dialog.onGo = [&](CTestDialog& d) {
        CFileDialog open(TRUE, "mdb", nullptr, OFN_HIDEREADONLY,
                         "Microsoft Office Access(*.mdb)|*.mdb|All Files(*.*)|*.*||", &d);
        for (int i = 0; i < 3; ++i) {
            chosen.push_back(open.DoModal() == IDOK ? Utf8(open.GetPathNameT<char>()) + " ext " +
                                                          Utf8(open.GetFileExtT<char>())
                                                    : "cancelled");
        }
    };
    ASSERT_EQ(Run(dialog, {"@click 111", "/data/parts", "/data/parts.accdb", "*Cancel*", "@ok"}),
              IDOK);
    EXPECT_EQ(chosen, (std::vector<std::string>{"/data/parts.mdb ext mdb",
                                                "/data/parts.accdb ext accdb", "cancelled"}));
    EXPECT_NE(out.find("\nOpen file (Microsoft Office Access(*.mdb), All Files(*.*)): "
                       "/data/parts"),
              std::string::npos)
        << out;
}

TEST(FileFilter, ParsesTheFrameworkForm) {
    const auto filters = host::ui::ParseFileFilter("Text Files (*.txt)|*.txt|Data|*.csv; *.tsv||");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, "Text Files (*.txt)");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.txt"}));
    EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*.csv", "*.tsv"}));
    EXPECT_TRUE(host::ui::ParseFileFilter("").empty());
}

}  // namespace
