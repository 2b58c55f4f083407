// The module's compiled resources: every dialog template with its size, caption and controls
// (identifier, kind, caption, rectangle in dialog units, style bits), the tree icons, the demo
// page and the strings, found through the module's own resource instance.
#include <cstring>
#include <string>
#include <vector>

#include "module_fixture.h"
#include "platform/acrxapp.h"
#include "platform/afxres.h"
#include "platform/commctrl.h"
#include "platform/winuser.h"
#include "resources/resource.h"

namespace {

// A control kind: its window class and, for buttons, statics and combo boxes, the value of the
// class's type bits.
struct Kind {
    const char* className;
    DWORD typeMask;
    DWORD type;
};

const Kind kTree{"SysTreeView32", 0, 0};
const Kind kList{"SysListView32", LVS_TYPEMASK, LVS_REPORT};
const Kind kLabel{"Static", SS_TYPEMASK, SS_LEFT};
const Kind kEtchedLine{"Static", SS_TYPEMASK, SS_ETCHEDHORZ};
const Kind kButton{"Button", BS_TYPEMASK, BS_PUSHBUTTON};
const Kind kDefaultButton{"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON};
const Kind kAutoCheck{"Button", BS_TYPEMASK, BS_AUTOCHECKBOX};
const Kind kDropList{"ComboBox", 0x3, CBS_DROPDOWNLIST};
const Kind kDropDown{"ComboBox", 0x3, CBS_DROPDOWN};
const Kind kEdit{"Edit", 0, 0};
const Kind kListBox{"ListBox", 0, 0};

struct ControlSpec {
    int id;
    Kind kind;
    const char* caption;  // null: set at run time, not checked
    short x, y, cx, cy;
    DWORD style;        // bits that must be set
    const char* label;  // text of the label left of the control on its line, or null
};

struct DialogSpec {
    int number;        // 0 for a named template
    const char* name;  // null for a numbered template
    short cx, cy;
    const char* caption;
    std::vector<ControlSpec> controls;
};

const DWORD kTreeStyle =
    TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_BORDER;
const DWORD kDataViewStyle = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_ALIGNLEFT;
const DWORD kSortedScrolled = CBS_SORT | WS_VSCROLL;

const std::vector<DialogSpec>& Templates() {
    static const std::vector<DialogSpec> templates = {
        {113,
         nullptr,
         405,
         275,
         "Quarvel",
         {
             {100, kTree, "", 7, 20, 121, 178, kTreeStyle, nullptr},
             {103, kList, "", 140, 20, 258, 178, kDataViewStyle, nullptr},
             {-1, kLabel, "Data Source:", 7, 7, 43, 8, 0, nullptr},
             {-1, kLabel, "Data View:", 140, 7, 36, 8, 0, nullptr},
             {137, kButton, "Customize Column Heading", 140, 208, 108, 14, 0, nullptr},
             {136, kButton, "Customize Column Width", 290, 208, 108, 14, 0, nullptr},
             {-1, kLabel, "Table Style:", 7, 233, 38, 8, 0, nullptr},
             {134, kDropList, "", 51, 231, 138, 53, kSortedScrolled, nullptr},
             {128, kAutoCheck, "Include Header", 202, 233, 65, 10, 0, nullptr},
             {130, kAutoCheck, "Insert the data into an existing table", 271, 233, 127, 10, 0,
              nullptr},
             {101, kButton, "Open Database", 7, 254, 68, 14, 0, nullptr},
             {106, kButton, "New Query", 96, 254, 56, 14, 0, nullptr},
             {102, kButton, "Close Database", 173, 254, 71, 14, 0, nullptr},
             {105, kButton, "Create Table ...", 265, 254, 62, 14, 0, nullptr},
             {2, kButton, "Close", 348, 254, 50, 14, 0, nullptr},
         }},
        {0,
         "81020170-A9BD-4f93-B046-F2F11E2F3AEC",
         236,
         113,
         "Database",
         {
             {107, kDropList, "", 60, 7, 169, 60, kSortedScrolled, "Connect String:"},
             {108, kEdit, "", 59, 28, 146, 14, ES_AUTOHSCROLL | WS_BORDER, "Database:"},
             {109, kButton, "...", 212, 28, 17, 14, 0, nullptr},
             {130, kAutoCheck, "Relative Path", 59, 49, 59, 10, 0, nullptr},
             {110, kEdit, "", 59, 66, 61, 14, 0, "User:"},
             {111, kEdit, "", 165, 66, 64, 14, ES_PASSWORD, "Password:"},
             {1, kDefaultButton, "&OK", 26, 92, 50, 14, 0, nullptr},
             {2, kButton, "&Cancel", 160, 92, 50, 14, 0, nullptr},
         }},
        {0,
         "B6198222-5A4C-41dd-978F-607D7626E55F",
         236,
         217,
         "Properties",
         {
             {107, kDropList, "", 60, 7, 169, 60, kSortedScrolled, "Connect String:"},
             {108, kEdit, "", 59, 28, 146, 14, ES_AUTOHSCROLL, "Database:"},
             {109, kButton, "...", 212, 28, 17, 14, 0, nullptr},
             {110, kEdit, "", 59, 52, 61, 14, 0, "User:"},
             {111, kEdit, "", 165, 52, 64, 14, ES_PASSWORD, "Password:"},
             {132, kDropDown, "", 59, 76, 98, 44, kSortedScrolled, "Table/View:"},
             {123, kEdit, "", 59, 99, 170, 68, ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
              "SQL:"},
             {130, kAutoCheck, "Update Table", 59, 177, 59, 10, 0, nullptr},
             {1, kDefaultButton, "OK", 35, 196, 50, 14, 0, nullptr},
             {2, kButton, "Cancel", 150, 196, 50, 14, 0, nullptr},
         }},
        {0,
         "0A0B5511-F179-4397-ADA8-A05F7FF84598",
         287,
         92,
         "Customize Column Width",
         {
             {142, kList, "", 7, 7, 273, 41, LVS_REPORT | LVS_ALIGNLEFT | WS_BORDER, nullptr},
             {143, kLabel, "Double click on the first row to modify the column width.", 7, 54, 273,
              8, 0, nullptr},
             {136, kButton, "Load from file", 7, 71, 61, 14, 0, nullptr},
             {137, kButton, "Save to file", 84, 71, 61, 14, 0, nullptr},
             {1, kDefaultButton, "OK", 161, 71, 50, 14, 0, nullptr},
             {2, kButton, "Cancel", 230, 71, 50, 14, 0, nullptr},
         }},
        {0,
         "9C4AA4F0-2484-41d4-84C9-0F323150D9DB",
         278,
         201,
         "Query",
         {
             {-1, kLabel, "Name:", 7, 9, 22, 8, 0, nullptr},
             {126, kEdit, "", 33, 7, 238, 14, 0, nullptr},
             {-1, kLabel, "SQL:", 7, 27, 17, 8, 0, nullptr},
             {123, kEdit, "", 7, 41, 144, 126, ES_MULTILINE | ES_AUTOHSCROLL, nullptr},
             {124, kButton, "<", 155, 55, 16, 14, 0, nullptr},
             {125, kButton, "<", 155, 125, 16, 14, 0, nullptr},
             {-1, kLabel, "Table:", 176, 27, 21, 8, 0, nullptr},
             {113, kListBox, "", 176, 41, 95, 40, LBS_SORT | LBS_NOTIFY | WS_VSCROLL, nullptr},
             {-1, kLabel, "Fields:", 176, 88, 21, 8, 0, nullptr},
             {114, kListBox, "", 176, 100, 95, 67, LBS_SORT | WS_VSCROLL, nullptr},
             {1, kDefaultButton, "OK", 60, 180, 50, 14, 0, nullptr},
             {2, kButton, "Cancel", 152, 180, 50, 14, 0, nullptr},
         }},
        {0,
         "50FC3BF2-28F7-46F4-A3C8-B7739A3F67CE",
         188,
         95,
         "Check for Update",
         {
             {211, kLabel, "Click Check up to see if a new version is available.", 7, 7, 174, 16,
              WS_VISIBLE, nullptr},
             {212, kLabel, nullptr, 7, 23, 112, 9, 0, nullptr},
         }},
        {0,
         "DEAF365F-720F-4D79-A59D-64D3B5577F27",
         249,
         169,
         nullptr,
         {
             {1, kDefaultButton, "&OK", 191, 148, 50, 14, 0, nullptr},
             {222, kLabel, nullptr, 7, 7, 183, 18, 0, nullptr},
             {-1, kEtchedLine, "", 7, 91, 234, 1, 0, nullptr},
             {224, kLabel, nullptr, 7, 98, 234, 44, 0, nullptr},
         }},
        {204,
         nullptr,
         407,
         255,
         "http://www.morvane.example/demo/quarv/ - Microsoft Internet Explorer",
         {}},
    };
    return templates;
}

HINSTANCE ModuleInstance() {
    return acrxGetApp()->ResourceInstance();
}

const RESOURCE_DIALOG* Find(const DialogSpec& spec) {
    if (spec.name)
        return AfxFindDialogTemplate(ModuleInstance(), Txt(spec.name).GetString());
    return AfxFindDialogTemplate(ModuleInstance(), MAKEINTRESOURCE(spec.number));
}

std::string Describe(const ControlSpec& c) {
    return std::to_string(c.id) + " at " + std::to_string(c.x) + "," + std::to_string(c.y);
}

TEST(ModuleResourcesTest, EveryTemplateHasItsSizeCaptionAndFont) {
    for (const DialogSpec& spec : Templates()) {
        SCOPED_TRACE(spec.name ? spec.name : std::to_string(spec.number));
        const RESOURCE_DIALOG* d = Find(spec);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->cx, spec.cx);
        EXPECT_EQ(d->cy, spec.cy);
        if (spec.caption) {
            EXPECT_STREQ(d->caption, spec.caption);
        }
        EXPECT_STREQ(d->fontFace, "MS Shell Dlg");
        EXPECT_EQ(d->fontPoints, 8);
        EXPECT_EQ(d->style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT),
                  static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT));
    }
}

TEST(ModuleResourcesTest, EveryControlHasItsIdKindCaptionRectangleAndStyle) {
    for (const DialogSpec& spec : Templates()) {
        SCOPED_TRACE(spec.name ? spec.name : std::to_string(spec.number));
        const RESOURCE_DIALOG* d = Find(spec);
        ASSERT_NE(d, nullptr);
        for (const ControlSpec& c : spec.controls) {
            SCOPED_TRACE(Describe(c));
            const RESOURCE_DIALOG_ITEM* item = nullptr;
            for (int i = 0; i < d->itemCount && !item; ++i) {
                const RESOURCE_DIALOG_ITEM& it = d->items[i];
                if (it.id == c.id && it.x == c.x && it.y == c.y)
                    item = &it;
            }
            ASSERT_NE(item, nullptr) << "no control " << c.id << " at " << c.x << "," << c.y;
            EXPECT_EQ(item->cx, c.cx);
            EXPECT_EQ(item->cy, c.cy);
            EXPECT_STREQ(item->className, c.kind.className);
            EXPECT_EQ(item->style & c.kind.typeMask, c.kind.type);
            EXPECT_EQ(item->style & (c.style | WS_CHILD), c.style | WS_CHILD);
            if (c.caption) {
                EXPECT_STREQ(item->text, c.caption);
            }
            if (!c.label)
                continue;
            // The label stands left of the control, on its line.
            bool labelled = false;
            for (int i = 0; i < d->itemCount; ++i) {
                const RESOURCE_DIALOG_ITEM& l = d->items[i];
                if (l.id == IDC_STATIC && std::strcmp(l.text, c.label) == 0 &&
                    std::strcmp(l.className, "Static") == 0 && l.x + l.cx <= c.x &&
                    l.y < c.y + 14 && l.y + l.cy > c.y)
                    labelled = true;
            }
            EXPECT_TRUE(labelled) << "no label \"" << c.label << "\" beside the control";
        }
    }
}

TEST(ModuleResourcesTest, TheBrowserHasNoDefaultButtonAndOnlyItsOwnControls) {
    const RESOURCE_DIALOG* d =
        AfxFindDialogTemplate(ModuleInstance(), MAKEINTRESOURCE(IDD_DBDIALOG));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->itemCount, 15);
    for (int i = 0; i < d->itemCount; ++i) {
        const RESOURCE_DIALOG_ITEM& it = d->items[i];
        EXPECT_NE(it.id, IDOK);
        if (std::strcmp(it.className, "Button") == 0) {
            EXPECT_NE(it.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON)) << it.text;
        }
    }
}

TEST(ModuleResourcesTest, TheUpdateCheckShowsOnlyItsStatusAndButtons) {
    const RESOURCE_DIALOG* d =
        AfxFindDialogTemplate(ModuleInstance(), Txt(IDD_LIVE_UPDATE_DIALOG).GetString());
    ASSERT_NE(d, nullptr);
    std::vector<int> visible;
    for (int i = 0; i < d->itemCount; ++i) {
        const RESOURCE_DIALOG_ITEM& it = d->items[i];
        if (it.style & WS_VISIBLE)
            visible.push_back(it.id);
        if (it.id == IDC_STATIC_DOWNLOAD) {
            EXPECT_STREQ(it.text, "to download the new version.");
        }
        if (it.id == IDOK) {
            EXPECT_STREQ(it.text, "Close");
            EXPECT_EQ(it.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        }
        if (it.id == IDC_CHECK_UP) {
            EXPECT_STREQ(it.text, "&Check up");
        }
    }
    EXPECT_EQ(visible, (std::vector<int>{IDOK, IDC_STATIC_STATUS, IDC_CHECK_UP}));
}

TEST(ModuleResourcesTest, TheTreeIconsHoldSmallAndLargeImages) {
    for (int id : {IDI_DATABASE, IDI_TABLE, IDI_VIEW}) {
        SCOPED_TRACE(id);
        const RESOURCE_DATA* icon =
            AfxFindResourceData(ModuleInstance(), MAKEINTRESOURCE(id), "ICON");
        ASSERT_NE(icon, nullptr);
        ASSERT_GE(icon->size, 6u + 2 * 16);
        const unsigned char* b = icon->bytes;
        EXPECT_EQ(b[2] | (b[3] << 8), 1);  // an icon file
        ASSERT_EQ(b[4] | (b[5] << 8), 2);  // two images
        EXPECT_EQ(b[6], 16);
        EXPECT_EQ(b[6 + 16], 32);
    }
}

TEST(ModuleResourcesTest, TheDemoPageAndTheStrings) {
    const RESOURCE_DATA* page =
        AfxFindResourceData(ModuleInstance(), MAKEINTRESOURCE(IDR_HTML_DEMO), "HTML");
    ASSERT_NE(page, nullptr);
    const std::string html(reinterpret_cast<const char*>(page->bytes), page->size);
    EXPECT_NE(html.find("<body id=\"CDemoViewDlg\""), std::string::npos) << html;
    EXPECT_NE(html.find("#FFFFFF"), std::string::npos);
    EXPECT_NE(html.find("<p align=\"center\">Opening page <a "
                        "href=\"http://www.morvane.example/demo/quarv/\">"
                        "http://www.morvane.example/demo/quarv/</a>&nbsp;...</p>"),
              std::string::npos)
        << html;

    const RESOURCE_DIRECTORY* directory = AfxFindResourceDirectory(ModuleInstance());
    ASSERT_NE(directory, nullptr);
    bool found = false;
    for (int i = 0; i < directory->stringCount; ++i) {
        if (directory->strings[i].id == IDS_PROJNAME) {
            EXPECT_STREQ(directory->strings[i].text, "Quarvel");
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
