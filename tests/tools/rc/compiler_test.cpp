// The resource compiler on scripts: control keywords with their default styles, style lists,
// strings, preprocessing, data files and errors with their lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "tools/rc/generate.h"
#include "tools/rc/resources.h"

namespace {

const char* kHeaders =
    "#include \"platform/winuser.h\"\n"
    "#include \"platform/commctrl.h\"\n"
    "#include \"platform/afxres.h\"\n";

// A script holding one dialog with the given body.
std::string DialogScript(const std::string& body) {
    return std::string(kHeaders) + "1 DIALOGEX 0, 0, 100, 50\nBEGIN\n" + body + "\nEND\n";
}

using ControlsTest = ScriptTest;

TEST_F(ControlsTest, EachKeywordGetsItsClassAndDefaultStyle) {
    struct Case {
        const char* statement;
        const char* className;
        std::uint32_t style;
        const char* text;
    };
    // Every control is a visible child (0x50000000) besides its own defaults.
    const Case cases[] = {
        {"LTEXT \"t\", 5, 1, 2, 3, 4", "Static", 0x50020000u, "t"},       // SS_LEFT | WS_GROUP
        {"RTEXT \"t\", 5, 1, 2, 3, 4", "Static", 0x50020002u, "t"},       // SS_RIGHT | WS_GROUP
        {"CTEXT \"t\", 5, 1, 2, 3, 4", "Static", 0x50020001u, "t"},       // SS_CENTER | WS_GROUP
        {"PUSHBUTTON \"t\", 5, 1, 2, 3, 4", "Button", 0x50010000u, "t"},  // WS_TABSTOP
        {"DEFPUSHBUTTON \"t\", 5, 1, 2, 3, 4", "Button", 0x50010001u, "t"},
        {"CHECKBOX \"t\", 5, 1, 2, 3, 4", "Button", 0x50010002u, "t"},
        {"AUTOCHECKBOX \"t\", 5, 1, 2, 3, 4", "Button", 0x50010003u, "t"},
        {"RADIOBUTTON \"t\", 5, 1, 2, 3, 4", "Button", 0x50010004u, "t"},
        {"AUTORADIOBUTTON \"t\", 5, 1, 2, 3, 4", "Button", 0x50010009u, "t"},
        {"STATE3 \"t\", 5, 1, 2, 3, 4", "Button", 0x50010005u, "t"},
        {"AUTO3STATE \"t\", 5, 1, 2, 3, 4", "Button", 0x50010006u, "t"},
        {"GROUPBOX \"t\", 5, 1, 2, 3, 4", "Button", 0x50000007u, "t"},  // no tab stop
        {"EDITTEXT 5, 1, 2, 3, 4", "Edit", 0x50810000u, ""},            // WS_BORDER | WS_TABSTOP
        {"COMBOBOX 5, 1, 2, 3, 4", "ComboBox", 0x50010001u, ""},        // CBS_SIMPLE | WS_TABSTOP
        {"LISTBOX 5, 1, 2, 3, 4", "ListBox", 0x50800001u, ""},          // LBS_NOTIFY | WS_BORDER
        {"CONTROL \"t\", 5, \"Button\", 0, 1, 2, 3, 4", "Button", 0x50000000u, "t"},
        // Lower-case keywords are the same keywords.
        {"ltext \"t\", 5, 1, 2, 3, 4", "Static", 0x50020000u, "t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        const rc::ResourceScript script = Compile(DialogScript(c.statement));
        ASSERT_EQ(script.dialogs.size(), 1u);
        ASSERT_EQ(script.dialogs[0].controls.size(), 1u);
        const rc::DialogControl& control = script.dialogs[0].controls[0];
        EXPECT_EQ(control.className, c.className);
        EXPECT_EQ(control.style, c.style);
        EXPECT_EQ(control.text, c.text);
        EXPECT_EQ(control.exStyle, 0u);
        EXPECT_EQ(control.id, 5);
        EXPECT_EQ(control.x, 1);
        EXPECT_EQ(control.y, 2);
        EXPECT_EQ(control.cx, 3);
        EXPECT_EQ(control.cy, 4);
    }
}

TEST_F(ControlsTest, StyleListsAddBitsAndNotRemovesDefaults) {
    struct Case {
        const char* statement;
        std::uint32_t style;
    };
    const Case cases[] = {
        {"EDITTEXT 5, 1, 2, 3, 4, ES_AUTOHSCROLL | NOT WS_BORDER", 0x50010080u},
        {"EDITTEXT 5, 1, 2, 3, 4, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN", 0x50811044u},
        {"PUSHBUTTON \"t\", 5, 1, 2, 3, 4, NOT WS_TABSTOP", 0x50000000u},
        {"PUSHBUTTON \"t\", 5, 1, 2, 3, 4, WS_TABSTOP | NOT WS_TABSTOP", 0x50000000u},
        {"PUSHBUTTON \"t\", 5, 1, 2, 3, 4, NOT WS_TABSTOP | WS_TABSTOP", 0x50010000u},
        {"PUSHBUTTON \"t\", 5, 1, 2, 3, 4, BS_DEFPUSHBUTTON | WS_DISABLED", 0x58010001u},
        {"LISTBOX 5, 1, 2, 3, 4, LBS_SORT | NOT LBS_NOTIFY | WS_VSCROLL", 0x50A00002u},
        {"LTEXT \"t\", 5, 1, 2, 3, 4, NOT WS_VISIBLE", 0x40020000u},
        {"LTEXT \"t\", 5, 1, 2, 3, 4, NOT (WS_VISIBLE | WS_GROUP)", 0x40000000u},
        {"CONTROL \"\", 5, \"Button\", BS_AUTOCHECKBOX | NOT WS_VISIBLE, 1, 2, 3, 4", 0x40000003u},
        // A combo box kind replaces the default kind instead of being merged with it.
        {"COMBOBOX 5, 1, 2, 3, 4, CBS_DROPDOWN | CBS_SORT | WS_VSCROLL", 0x50210102u},
        {"COMBOBOX 5, 1, 2, 3, 4, CBS_DROPDOWNLIST", 0x50010003u},
        {"COMBOBOX 5, 1, 2, 3, 4, WS_VSCROLL", 0x50210001u},
        // Arithmetic, casts and number suffixes.
        {"LTEXT \"t\", 5, 1, 2, 3, 4, (SS_CENTER + 1) & ~SS_CENTER", 0x50020002u},
        {"CONTROL \"\", 5, \"Static\", (DWORD)0x1FFFF0004L & 0xFFFF, 1, 2, 3, 4", 0x50000004u},
        {"CONTROL \"\", 5, \"Static\", (WORD)-1 ^ 0xFFF0, 1, 2, 3, 4", 0x5000000Fu},
        {"CONTROL \"\", 5, \"Static\", 010 - 2U, 1, 2, 3, 4", 0x50000008u},  // no octal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        const rc::ResourceScript script = Compile(DialogScript(c.statement));
        ASSERT_EQ(script.dialogs[0].controls.size(), 1u);
        EXPECT_EQ(script.dialogs[0].controls[0].style, c.style);
    }
}

TEST_F(ControlsTest, WindowClassesByNameKeywordOrSymbol) {
    struct Case {
        const char* spelling;
        const char* className;
    };
    const Case cases[] = {
        {"\"Button\"", "Button"},
        {"\"button\"", "Button"},
        {"BUTTON", "Button"},
        {"edit", "Edit"},
        {"WC_TREEVIEW", "SysTreeView32"},
        {"WC_TREEVIEWA", "SysTreeView32"},  // the header's own symbol
        {"WC_LISTVIEWW", "SysListView32"},
        {"\"systreeview32\"", "SysTreeView32"},
        {"\"HyperlinkWnd\"", "HyperlinkWnd"},  // a registered class keeps its spelling
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spelling);
        const rc::ResourceScript script = Compile(
            DialogScript(std::string("CONTROL \"\", 5, ") + c.spelling + ", 0, 1, 2, 3, 4"));
        EXPECT_EQ(script.dialogs[0].controls[0].className, c.className);
    }
}

TEST_F(ControlsTest, ExtendedStylesHelpIdsAndIconTexts) {
    const rc::ResourceScript script = Compile(DialogScript(
        "EDITTEXT 5, 1, 2, 3, 4, ES_READONLY, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE, 77\n"
        "CONTROL 107, IDC_STATIC, \"Static\", SS_ICON, 1, 2, 20, 20, WS_EX_TRANSPARENT\n"
        "CONTROL \"t\", -1, \"Static\", SS_LEFT, -5, -6, 3, 4"));
    const auto& controls = script.dialogs[0].controls;
    ASSERT_EQ(controls.size(), 3u);
    EXPECT_EQ(controls[0].exStyle, 0x00020200u);
    EXPECT_EQ(controls[0].style, 0x50810800u);
    EXPECT_EQ(controls[1].text, "#107");
    EXPECT_EQ(controls[1].id, -1);
    EXPECT_EQ(controls[1].exStyle, 0x20u);
    EXPECT_EQ(controls[2].x, -5);
    EXPECT_EQ(controls[2].y, -6);
}

using DialogsTest = ScriptTest;

TEST_F(DialogsTest, HeaderStylesCaptionAndFont) {
    const rc::ResourceScript script = Compile(std::string(kHeaders) +
                                              "1 DIALOG 1, 2, 30, 40\nBEGIN\nEND\n"
                                              "2 DIALOG 1, 2, 30, 40\nCAPTION \"Two\"\nBEGIN\nEND\n"
                                              "3 DIALOGEX 0, 0, 30, 40\n"
                                              "STYLE DS_MODALFRAME | WS_POPUP\n"
                                              "EXSTYLE WS_EX_TOOLWINDOW\n"
                                              "CAPTION \"Three\"\n"
                                              "FONT 9, \"MS Shell Dlg\", 700, 1, 0\n"
                                              "{\n}\n"
                                              "4 dialogex 0, 0, 30, 40, 99\n"
                                              "font 8, \"Tahoma\"\nbegin\nend\n");
    ASSERT_EQ(script.dialogs.size(), 4u);
    const rc::Dialog& plain = script.dialogs[0];
    EXPECT_FALSE(plain.extended);
    EXPECT_EQ(plain.style, 0x80880000u);  // WS_POPUP | WS_BORDER | WS_SYSMENU
    EXPECT_EQ(plain.x, 1);
    EXPECT_EQ(plain.y, 2);
    EXPECT_EQ(plain.cx, 30);
    EXPECT_EQ(plain.cy, 40);
    EXPECT_FALSE(plain.font);
    EXPECT_EQ(script.dialogs[1].style, 0x80C80000u);  // and WS_CAPTION
    EXPECT_EQ(script.dialogs[1].caption, "Two");

    const rc::Dialog& full = script.dialogs[2];
    EXPECT_TRUE(full.extended);
    EXPECT_EQ(full.style, 0x80C000C0u);  // the given style, WS_CAPTION and DS_SETFONT
    EXPECT_EQ(full.exStyle, 0x80u);
    ASSERT_TRUE(full.font);
    EXPECT_EQ(full.font->points, 9);
    EXPECT_EQ(full.font->face, "MS Shell Dlg");
    EXPECT_EQ(full.font->weight, 700);
    EXPECT_EQ(full.font->italic, 1);
    EXPECT_EQ(full.font->charset, 0);

    const rc::Dialog& defaults = script.dialogs[3];
    ASSERT_TRUE(defaults.font);
    EXPECT_EQ(defaults.font->weight, 0);
    EXPECT_EQ(defaults.font->charset, 1);
    EXPECT_EQ(defaults.style, 0x80880040u);  // the default style and DS_SETFONT
}

TEST_F(DialogsTest, TemplatesByNumberSymbolOrName) {
    Write("ids.h", "#define IDD_ONE 100 + 13\n#define IDD_NAMED \"9C4AA4F0-2484-41d4\"\n");
    const rc::ResourceScript script = Compile(
        "#include \"ids.h\"\n"
        "IDD_ONE DIALOGEX 0, 0, 1, 1 BEGIN END\n"
        "IDD_NAMED DIALOGEX 0, 0, 1, 1 BEGIN END\n"
        "\"Quoted Name\" DIALOGEX 0, 0, 1, 1 BEGIN END\n"
        "UNDEFINED_SYMBOL DIALOG DISCARDABLE 0, 0, 1, 1 BEGIN END\n");
    ASSERT_EQ(script.dialogs.size(), 4u);
    EXPECT_EQ(script.dialogs[0].id.number, 113);
    EXPECT_FALSE(script.dialogs[0].id.HasName());
    EXPECT_EQ(script.dialogs[1].id.name, "9C4AA4F0-2484-41d4");
    EXPECT_EQ(script.dialogs[2].id.name, "Quoted Name");
    EXPECT_EQ(script.dialogs[3].id.name, "UNDEFINED_SYMBOL");
}

using StringsTest = ScriptTest;

TEST_F(StringsTest, EscapesQuotesAndUtf8) {
    struct Case {
        const char* literal;
        const char* text;
    };
    const Case cases[] = {
        {R"("say ""hi""")", "say \"hi\""},
        {R"("a\nb\tc")", "a\nb\tc"},
        {R"("back\\slash \"q\"")", "back\\slash \"q\""},
        {R"("res\icon.ico")", "res\\icon.ico"},  // not an escape: the backslash stays
        {R"("\x41\x00e9")", "A\xC3\xA9"},
        {"\"Gr\xC3\xB6\xC3\x9F"
         "e \xE2\x82\xAC\"",
         "Gr\xC3\xB6\xC3\x9F"
         "e \xE2\x82\xAC"},
        {R"(L"wide")", "wide"},
        {R"("joined " "text")", "joined text"},
        {R"("")", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literal);
        const rc::ResourceScript script =
            Compile(std::string("STRINGTABLE\nBEGIN\n1, ") + c.literal + "\nEND\n");
        ASSERT_EQ(script.strings.size(), 1u);
        EXPECT_EQ(script.strings[0].text, c.text);
    }
}

TEST_F(StringsTest, TableEntriesWithOrWithoutCommaComeOutByNumber) {
    const rc::ResourceScript script = Compile(
        "#define IDS_B 20\n"
        "STRINGTABLE DISCARDABLE\nBEGIN\n  IDS_B \"b\"\n  10, \"a\"\nEND\n"
        "STRINGTABLE\n{\n  30 \"c\"\n}\n");
    ASSERT_EQ(script.strings.size(), 3u);
    EXPECT_EQ(script.strings[0].id, 10u);
    EXPECT_EQ(script.strings[0].text, "a");
    EXPECT_EQ(script.strings[1].id, 20u);
    EXPECT_EQ(script.strings[2].id, 30u);
}

using PreprocessorTest = ScriptTest;

TEST_F(PreprocessorTest, DefinesExpressionsAndConditionalSections) {
    const rc::ResourceScript script = Compile(
        "#define BASE 0x100\n"
        "#define DERIVED (BASE | 0x10) /* a comment */ // and another\n"
        "#define LONG_ONE \\\n   (DERIVED + 1)\n"
        "#ifdef BASE\n"
        "STRINGTABLE BEGIN 1 \"ifdef\" END\n"
        "#else\n"
        "this is not looked at\n"
        "#endif\n"
        "#ifndef BASE\n"
        "#error not reached\n"
        "#elif defined(DERIVED) && !defined NOTHING && BASE == 256\n"
        "STRINGTABLE BEGIN 2 \"elif\" END\n"
        "#else\n"
        "#endif\n"
        "#if 0\n"
        "#unknown directives in skipped sections are not looked at\n"
        "#elif 1\n"
        "STRINGTABLE BEGIN LONG_ONE \"long\" END\n"
        "#endif\n"
        "#undef BASE\n"
        "#if defined(BASE) || UNDEFINED_IS_ZERO\n"
        "#error not reached\n"
        "#endif\n"
        "#ifdef APSTUDIO_INVOKED\n"
        "1 TEXTINCLUDE BEGIN \"resource.h\\0\" END\n"
        "#endif\n"
        "#ifdef RC_INVOKED\n"
        "/* a comment over\n   several lines */ STRINGTABLE BEGIN 4 \"rc\" END\n"
        "#endif\n");
    ASSERT_EQ(script.strings.size(), 4u);
    EXPECT_EQ(script.strings[0].text, "ifdef");
    EXPECT_EQ(script.strings[1].text, "elif");
    EXPECT_EQ(script.strings[2].text, "rc");
    EXPECT_EQ(script.strings[3].id, 0x111u);
    EXPECT_EQ(script.strings[3].text, "long");
}

TEST_F(PreprocessorTest, IncludesSearchTheScriptFolderThenTheIncludeFolders) {
    // The script's own folder wins over the include folders; headers give only their macros.
    Write("local.h", "#pragma once\n#define WHICH 1\nstruct Ignored { int x; };\n");
    Write("sub/nested.h", "#include \"sibling.h\"\n");
    Write("sub/sibling.h", "#define SIBLING 7\n");
    Write("part.rc2", "STRINGTABLE BEGIN 9 \"from the part\" END\n");
    const rc::ResourceScript script = Compile(
        "#include \"local.h\"\n"
        "#include \"local.h\"\n"  // once only
        "#include <cstddef>\n"    // the C++ library's headers hold nothing for scripts
        "#include \"sub\\nested.h\"\n"
        "#include \"platform/winuser.h\"\n"
        "#include \"commctrl.h\"\n"  // found in the platform folder
        "#include \"part.rc2\"\n"
        "#pragma code_page(65001)\n"
        "STRINGTABLE BEGIN WHICH \"local\" SIBLING \"sibling\" TVS_HASLINES \"commctrl\" END\n");
    ASSERT_EQ(script.strings.size(), 4u);
    EXPECT_EQ(script.strings[0].id, 1u);
    EXPECT_EQ(script.strings[1].id, 2u);  // TVS_HASLINES
    EXPECT_EQ(script.strings[2].id, 7u);
    EXPECT_EQ(script.strings[3].text, "from the part");
}

using ErrorsTest = ScriptTest;

TEST_F(ErrorsTest, ReportTheFileAndLine) {
    Write("bad.h", "#define OK 1\n#frobnicate\n");
    Write("res/not_an_icon.ico", "hello");
    Write("res/empty.ico", "");
    struct Case {
        std::string script;
        std::string report;  // the start of the report, the folder left out
    };
    const std::string dialog = "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n";
    const Case cases[] = {
        {"\n#frobnicate\n", "test.rc:2: error: unknown preprocessor directive '#frobnicate'"},
        {"#include \"bad.h\"\n", "bad.h:2: error: unknown preprocessor directive"},
        {"#include \"missing.h\"\n", "test.rc:1: error: cannot find include file 'missing.h'"},
        {"\n\n#if 1\n", "test.rc:3: error: #if without #endif"},
        {"#endif\n", "test.rc:1: error: #endif without #if"},
        {"#if 1\n#else\n#else\n#endif\n", "test.rc:3: error: #else after #else"},
        {"#pragma code_page(1252)\n", "test.rc:1: error: code page 1252 is not supported"},
        {"#pragma pack(1)\n", "test.rc:1: error: unknown #pragma"},
        {"#error stop here\n", "test.rc:1: error: #error stop here"},
        {"#define X 1\n#define X 2\n", "test.rc:2: error: macro 'X' redefined differently"},
        {"#define F(a) a\nSTRINGTABLE BEGIN F(1) \"x\" END\n",
         "test.rc:2: error: function-like macro 'F'"},
        {"\n/* never closed\n\n", "test.rc:2: error: unterminated /* comment"},
        {"STRINGTABLE\nBEGIN\n1 \"open\nEND\n", "test.rc:3: error: missing closing quote"},
        {"STRINGTABLE\nBEGIN\n1 \"a\"\n1 \"b\"\nEND\n",
         "test.rc:4: error: string 1 is defined twice"},
        {"STRINGTABLE\nBEGIN\n1 \"a\"\n", "test.rc:1: error: missing END of STRINGTABLE"},
        {dialog + "LTEXT \"a\", IDC_NOWHERE, 1, 2, 3, 4\nEND\n",
         "test.rc:3: error: undefined symbol 'IDC_NOWHERE'"},
        {dialog + "LTEXT \"a\", 1, 1, 2, 3\nEND\n",
         "test.rc:4: error: expected ',' before the height"},
        {dialog + "PUSHBUTTON \"a\", 1, 40000, 2, 3, 4\nEND\n",
         "test.rc:3: error: x 40000 does not fit a dialog coordinate"},
        {dialog + "SLIDER \"a\", 1, 1, 2, 3, 4\nEND\n",
         "test.rc:3: error: unknown control 'SLIDER'"},
        {dialog + "CONTROL \"\", 1, WC_NOTHING, 0, 1, 2, 3, 4\nEND\n",
         "test.rc:3: error: unknown window class 'WC_NOTHING'"},
        {dialog + "LTEXT \"a\", 1, 1, 2, 3, 4\n", "test.rc:1: error: missing END of the dialog"},
        {"1 DIALOGEX 0, 0, 10, 10\nMENU 5\nBEGIN\nEND\n",
         "test.rc:2: error: MENU in a dialog is not supported"},
        {"1 DIALOG 0, 0, 10, 10\nFONT 8, \"x\", 400\nBEGIN\nEND\n",
         "test.rc:2: error: font weight, italic and charset need DIALOGEX"},
        {"1 DIALOG 0,0,1,1 BEGIN END\n\n1 DIALOGEX 0,0,1,1 BEGIN END\n",
         "test.rc:3: error: dialog 1 is defined twice"},
        {"0 DIALOG 0,0,1,1 BEGIN END\n", "test.rc:1: error: resource number 0 is out of range"},
        {"1 MENU BEGIN END\n", "test.rc:1: error: MENU resources are not supported"},
        {"\n1 ICON \"res\\\\missing.ico\"\n",
         "test.rc:2: error: cannot find file 'res/missing.ico'"},
        {"1 ICON \"res/not_an_icon.ico\"\n", "test.rc:1: error: 'not_an_icon.ico' is not an icon"},
        {"1 ICON \"res/empty.ico\"\n", "test.rc:1: error: 'empty.ico' is not an icon"},
        {"1 BITMAP \"res/empty.ico\"\n", "test.rc:1: error: 'res/empty.ico' is not a bitmap"},
        {"1 RCDATA BEGIN 1 END\n", "test.rc:1: error: inline data is not supported"},
        {"STRINGTABLE BEGIN 1 / 0 \"x\" END\n", "test.rc:1: error: division by zero"},
        {"STRINGTABLE BEGIN 0x1G \"x\" END\n", "test.rc:1: error: invalid number '0x1G'"},
        {"STRINGTABLE BEGIN 70000 \"x\" END\n", "test.rc:1: error: string number 70000"},
        {"STRINGTABLE BEGIN 1 @ END\n", "test.rc:1: error: unexpected character '@'"},
        {"\nSTRINGTABLE BEGIN 1 \"caf\xE9\" END\n",
         "test.rc:2: error: the text is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const std::string report = Relative(CompileError(c.script));
        EXPECT_EQ(report.substr(0, c.report.size()), c.report) << report;
    }
}

TEST_F(ErrorsTest, AnErrorInsideAMacroIsReportedWhereTheMacroIsUsed) {
    const std::string report =
        Relative(CompileError("#define STYLE_OF_X (WS_NOTHING | 1)\n"
                              "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n"
                              "  LTEXT \"a\", 1, 1, 2, 3, 4, STYLE_OF_X\nEND\n"));
    EXPECT_EQ(report, "test.rc:4: error: undefined symbol 'WS_NOTHING'");
}

TEST_F(ErrorsTest, DeepNestingIsRefusedRatherThanExhaustingTheStack) {
    const std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
    EXPECT_NE(CompileError("STRINGTABLE BEGIN " + deep + " \"x\" END\n")
                  .find("expression nested too deeply"),
              std::string::npos);
    EXPECT_NE(CompileError("#include \"test.rc\"\n").find("#include nested too deeply"),
              std::string::npos);
}

TEST(GeneratedSourceTest, TextsBecomeSafeLiteralsAndComments) {
    rc::ResourceScript script;
    rc::Dialog dialog;
    dialog.id.name = "line\nbreak\\";
    dialog.caption =
        "say \"?"
        "?=\"\t\x01 caf\xC3\xA9";
    rc::DialogControl control;
    control.className = "Static";
    control.text = "a\\b";
    dialog.controls.push_back(control);
    script.dialogs.push_back(dialog);
    const std::string source = rc::GenerateSource(script, "test.rc");
    EXPECT_NE(source.find("\"say \\\"?\\?=\\\"\\t\\001 caf\xC3\xA9\""), std::string::npos)
        << source;
    EXPECT_NE(source.find("\"line\\nbreak\\\\\""), std::string::npos) << source;
    EXPECT_NE(source.find("// Dialog \"line break/\"\n"), std::string::npos) << source;
    EXPECT_NE(source.find("\"a\\\\b\""), std::string::npos) << source;
}

using DataTest = ScriptTest;

TEST_F(DataTest, FilesAreReadBesideTheScriptWithTheirBytes) {
    // The smallest icon file: one 1x1 image of 8 bytes.
    std::string icon("\0\0\1\0\1\0\1\1\0\0\1\0\x20\0\x08\0\0\0\x16\0\0\0", 22);
    icon += std::string("ABCDEFGH");
    Write("res/one.ico", icon);
    Write("res/page.htm", "<html><body id=\"x\">\xC3\xA9</body></html>");
    Write("res/picture.bmp", "BM" + std::string(20, '\0'));
    Write("res/blob.bin", std::string("\0\1\2", 3));
    const rc::ResourceScript script = Compile(
        "107 ICON \"res\\\\one.ico\"\n"
        "103 HTML DISCARDABLE \"res/page.htm\"\n"
        "\"PAGE\" HTML \"res/page.htm\"\n"
        "5 BITMAP \"res/picture.bmp\"\n"
        "6 MYDATA \"res/blob.bin\"\n"
        "7 \"QUOTED\" \"res/blob.bin\"\n");
    ASSERT_EQ(script.data.size(), 6u);
    EXPECT_EQ(script.data[0].type, "ICON");
    EXPECT_EQ(script.data[0].id.number, 107);
    EXPECT_EQ(std::string(script.data[0].bytes.begin(), script.data[0].bytes.end()), icon);
    EXPECT_EQ(script.data[1].type, "HTML");
    EXPECT_EQ(script.data[1].bytes.size(), 35u);
    EXPECT_EQ(script.data[2].id.name, "PAGE");
    EXPECT_EQ(script.data[3].type, "BITMAP");
    EXPECT_EQ(script.data[4].type, "MYDATA");
    EXPECT_EQ(script.data[4].bytes.size(), 3u);
    EXPECT_EQ(script.data[5].type, "QUOTED");
}

TEST_F(DataTest, EveryFileReadIsADependency) {
    Write("ids.h", "#define IDI_ONE 1\n");
    std::string icon("\0\0\1\0\1\0\1\1\0\0\1\0\x20\0\x01\0\0\0\x16\0\0\0X", 23);
    Write("one.ico", icon);
    Write("test.rc", "#include \"ids.h\"\nIDI_ONE ICON \"one.ico\"\n");
    const rc::CompileResult result = rc::Compile(Options());
    std::vector<std::string> names;
    for (const auto& f : result.files)
        names.push_back(f.filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"test.rc", "ids.h", "one.ico"}));
}

}  // namespace
