#include "host/ui/builtins.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/base/text.h"
#include "host/session/command_stack.h"
#include "host/session/documents.h"
#include "host/session/drawing_io.h"
#include "host/session/loader.h"
#include "host/ui/console.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "platform/adscodes.h"
#include "platform/dbmain.h"

namespace host {

namespace {

bool g_quit = false;

std::string Padded(std::string_view text, std::size_t width) {
    std::string out(text);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}

// Matches a keyword answer: the whole word or its first letter, ignoring case.
bool IsKeyword(std::string_view answer, std::string_view keyword) {
    if (answer.empty())
        return false;
    if (answer.size() == 1)
        return std::tolower(static_cast<unsigned char>(answer[0])) ==
               std::tolower(static_cast<unsigned char>(keyword[0]));
    return EqualNoCase(answer, keyword);
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

// ---- Documents ---------------------------------------------------------------------------

void CmdNew() {
    Documents()->Open();
}

void CmdOpen() {
    std::string path;
    const int rc = GetText("\nEnter name of drawing to open: ", path);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("OPEN: no drawing file name given");
        return;
    }
    // A drawing open already is made current rather than opened twice (two documents saving
    // to one file would overwrite each other's work).
    const std::string absolute = AbsolutePath(path);
    for (const auto& doc : Documents()->Documents()) {
        if (doc->Path() == absolute) {
            Documents()->Activate(doc.get());
            CommandLineWrite("\n" + absolute + " is open already; it is now current.");
            return;
        }
    }
    std::string error;
    std::unique_ptr<AcDbDatabase> db = LoadDrawing(path, error);
    if (!db) {
        ReportError(error);
        return;
    }
    const std::string format = DrawingFileFormat(*db);
    const std::vector<std::string> notes = FormerTableNotes(*db);
    Documents()->Open(std::move(db), absolute);
    CommandLineWrite("\nOpened " + absolute + " (" + format + ").");
    for (const std::string& note : notes)
        CommandLineWrite("\n" + note);
}

// The version a document's SAVE writes: the one chosen last, else the default.
dxf::DxfVersion SaveVersionOf(const Document& doc) {
    return dxf::ParseVersionName(doc.saveVersion).value_or(dxf::kDefaultDxfVersion);
}

void SaveAs(Document& doc, std::string path, dxf::DxfVersion version) {
    std::string error;
    path = AbsolutePath(path);
    std::vector<std::string> notes;
    if (!SaveDrawing(*doc.database(), path, error, version, &notes)) {
        ReportError(error);
        return;
    }
    doc.SetPath(path);
    doc.MarkSaved();
    doc.saveVersion = dxf::VersionName(version);
    CommandLineWrite("\nSaved " + path + " (DXF " + dxf::VersionName(version) + ").");
    for (const std::string& note : notes)
        CommandLineWrite("\n" + note);
}

// Asks for the DXF version; false when cancelled or refused.
bool AskVersion(dxf::DxfVersion& version) {
    while (true) {
        const Answer answer = Ask("\nEnter DXF version [" + dxf::VersionList() + "] <" +
                                  dxf::VersionName(version) + ">: ");
        if (answer.status == RTCAN)
            return false;
        if (answer.status == RTNONE)
            return true;
        if (const auto v = dxf::ParseVersionName(answer.text)) {
            version = *v;
            return true;
        }
        if (!RejectAnswer("Invalid answer: expects a DXF version, one of " + dxf::VersionList() +
                          "."))
            return false;
    }
}

// SAVEAS: a file name, or first the version: "Type" asks for it, a version name answers it
// at once, and "R2000 name.dxf" gives both.
void CmdSaveAs() {
    Document* doc = CurrentDocument();
    const std::string current = doc->Path().empty() ? doc->docTitleUtf8() : doc->Path();
    dxf::DxfVersion version = SaveVersionOf(*doc);
    std::string path;
    while (path.empty()) {
        const Answer answer = Ask("\nSave drawing as [Type] <" + current + ">: ");
        if (answer.status == RTCAN)
            return;
        if (answer.status == RTNONE) {
            if (doc->Path().empty()) {
                ReportError("SAVEAS: the drawing has no file yet; give a file name");
                return;
            }
            path = doc->Path();
            break;
        }
        const std::string& text = answer.text;
        const std::size_t blank = text.find(' ');
        if (IsKeyword(text, "Type")) {
            if (!AskVersion(version))
                return;
        } else if (const auto v = dxf::ParseVersionName(text)) {
            version = *v;
        } else if (const auto v2 = dxf::ParseVersionName(std::string_view(text).substr(0, blank));
                   blank != std::string::npos && v2) {
            // The answer is trimmed: a name follows the blanks.
            version = *v2;
            path = text.substr(text.find_first_not_of(' ', blank));
        } else {
            path = text;
        }
    }
    SaveAs(*doc, path, version);
}

void CmdSave() {
    Document* doc = CurrentDocument();
    if (doc->Path().empty()) {
        CmdSaveAs();
        return;
    }
    SaveAs(*doc, doc->Path(), SaveVersionOf(*doc));
}

void CmdClose() {
    if (!Documents()->Close(CurrentDocument()))
        ReportError("CLOSE: the last open drawing stays open (QUIT ends the session)");
}

void CmdQuit() {
    g_quit = true;
}

void CmdUcs() {
    Document* doc = CurrentDocument();
    while (true) {
        const Answer answer = Ask("\nSpecify origin of UCS or [World] <World>: ");
        if (answer.status == RTCAN)
            return;
        if (answer.status == RTNONE || IsKeyword(answer.text, "World")) {
            doc->ucsOrigin = AcGePoint3d::kOrigin;
            doc->ucsXAxis = AcGeVector3d::kXAxis;
            doc->ucsYAxis = AcGeVector3d::kYAxis;
            return;
        }
        if (const auto p = ParsePoint(answer.text)) {
            doc->ucsOrigin = UcsToWcs(*p);
            return;
        }
        if (!RejectAnswer("Invalid answer: expects a point or World."))
            return;
    }
}

// ---- Modules -----------------------------------------------------------------------------

void ArxList() {
    const auto modules = LoadedModules();
    if (modules.empty()) {
        CommandLineWrite("\nNo modules are loaded.");
        return;
    }
    for (const LoadedModule* m : modules) {
        CommandLineWrite("\n" + Padded(m->name, 20) + " release " + std::to_string(m->apiRelease) +
                         "  " + m->path);
    }
}

void ArxCommands() {
    const auto commands = Commands().Commands();
    if (commands.empty()) {
        CommandLineWrite("\nNo module commands are registered.");
        return;
    }
    for (const Command* c : commands) {
        CommandLineWrite("\n" + Padded(c->groupNameUtf8(), 12) + " " +
                         Padded(c->globalNameUtf8(), 28) + " " + c->localNameUtf8());
    }
}

void CmdArx() {
    while (true) {
        const Answer answer = Ask("\nEnter an option [?/Load/Unload/Commands]: ");
        if (answer.status == RTCAN || answer.status == RTNONE)
            return;
        std::string error;
        if (answer.text == "?") {
            ArxList();
        } else if (IsKeyword(answer.text, "Load")) {
            std::string path;
            if (GetText("\nModule file to load: ", path) != RTNORM)
                return;
            if (!LoadModule(path, &error)) {
                ReportError(error);
                return;
            }
            CommandLineWrite("\n" + std::filesystem::path(path).filename().string() + " loaded.");
        } else if (IsKeyword(answer.text, "Unload")) {
            std::string name;
            if (GetText("\nModule to unload: ", name) != RTNORM)
                return;
            if (!UnloadModule(name, &error)) {
                ReportError(error);
                return;
            }
            CommandLineWrite("\n" + name + " unloaded.");
        } else if (IsKeyword(answer.text, "Commands")) {
            ArxCommands();
        } else {
            if (RejectAnswer("Invalid option: expects ?, Load, Unload or Commands."))
                continue;
        }
        return;
    }
}

// ---- Scripts and help --------------------------------------------------------------------

void CmdScript() {
    static int depth = 0;
    std::string path;
    const int rc = GetText("\nEnter script file name: ", path);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("SCRIPT: no script file given");
        return;
    }
    if (depth >= 8) {
        ReportError("SCRIPT: scripts nested too deeply (a script that runs itself?)");
        return;
    }
    std::string why;
    std::unique_ptr<ScriptFileInput> script = ScriptFileInput::Open(path, &why);
    if (!script) {
        ReportError("SCRIPT: cannot read " + path + ": " + why);
        return;
    }
    bool ok = false;
    {
        ++depth;
        ScopedInput scoped(*script);
        ok = RunCommandLoop();
        --depth;
    }
    // The script's own error named its line; the line that ran it fails too.
    if (!ok)
        ReportError("SCRIPT: " + path + " stopped at a failed line");
}

void CmdHelp() {
    CommandLineWrite("\nHost commands:");
    for (const Builtin& b : Builtins())
        CommandLineWrite("\n  " + Padded(b.name, 13) + b.summary);
    const auto commands = Commands().Commands();
    if (!commands.empty()) {
        CommandLineWrite("\nModule commands (ARX Commands lists their groups):");
        for (const Command* c : commands)
            CommandLineWrite("\n  " + std::string(c->localNameUtf8()));
    }
}

std::vector<Builtin> MakeBuiltins() {
    std::vector<Builtin> list = {
        {"NEW", CmdNew, "opens a new empty drawing and makes it current"},
        {"OPEN", CmdOpen, "opens a drawing file"},
        {"SAVE", CmdSave, "saves the current drawing (asks for a name the first time)"},
        {"SAVEAS", CmdSaveAs, "saves the current drawing under a new name or DXF version"},
        {"CLOSE", CmdClose, "closes the current drawing"},
        {"QUIT", CmdQuit, "ends the session"},
        {"EXIT", CmdQuit, "ends the session (as QUIT)"},
        {"ARX", CmdArx, "lists, loads and unloads modules; lists their commands"},
        {"UCS", CmdUcs, "moves the user coordinate system's origin, or back to World"},
        {"SCRIPT", CmdScript, "runs the commands of a script file"},
        {"HELP", CmdHelp, "lists the commands"},
    };
    AddEntityBuiltins(list);
    AddMenuBuiltins(list);
    AddRenderBuiltins(list);
    return list;
}

}  // namespace

const std::vector<Builtin>& Builtins() {
    static const std::vector<Builtin> list = MakeBuiltins();
    return list;
}

const Builtin* FindBuiltin(std::string_view name) {
    if (!name.empty() && (name.front() == '_' || name.front() == '.'))
        name.remove_prefix(1);
    if (!name.empty() && (name.front() == '_' || name.front() == '.'))
        name.remove_prefix(1);
    for (const Builtin& b : Builtins()) {
        if (EqualNoCase(b.name, name))
            return &b;
    }
    return nullptr;
}

bool QuitRequested() {
    return g_quit;
}
void SetQuitRequested(bool quit) {
    g_quit = quit;
}

}  // namespace host
