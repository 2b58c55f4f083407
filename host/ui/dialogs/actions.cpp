#include "host/ui/dialogs/actions.h"

#include <charconv>
#include <optional>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/show.h"
#include "host/ui/dialogs/toolkit.h"
#include "host/ui/input_source.h"
#include "platform/textconv.h"

namespace host::ui {

namespace {

struct Words {
    std::string_view verb;
    std::string_view rest;  // after the verb and its blanks
};

Words SplitVerb(std::string_view line) {
    line = TrimBlanks(line);
    const std::size_t end = line.find_first_of(" \t");
    if (end == std::string_view::npos)
        return {line, {}};
    std::string_view rest = line.substr(end);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    return {line.substr(0, end), rest};
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<int> ParseInt(std::string_view text) {
    text = TrimBlanks(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Splits "ID rest": the control id and what follows it (one blank removed; the rest kept as
// written, so that texts may start or end with blanks).
std::pair<int, std::string> IdAndText(std::string_view verb, std::string_view rest, bool needText) {
    const std::size_t end = rest.find(' ');
    const std::string_view idText = rest.substr(0, end);
    const std::optional<int> id = ParseInt(idText);
    if (!id)
        throw ActionError(std::string(verb) + " needs a control id" +
                          (needText ? " and a text" : ""));
    std::string text;
    if (end != std::string_view::npos)
        text = std::string(rest.substr(end + 1));
    return {*id, text};
}

Window& ControlOf(DialogSession& session, int id) {
    if (id == IDC_STATIC)
        throw ActionError("labels (id -1) cannot be addressed");
    Window* control = session.root.FindChild(id);
    if (!control)
        throw ActionError("the dialog \"" + session.Caption() + "\" has no control " +
                          std::to_string(id));
    return *control;
}

// An entry by its text (exactly, else ignoring case) or by "#index".
int FindEntry(Window& control, const std::string& text, const std::vector<std::string>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == text)
            return static_cast<int>(i);
    }
    const std::string lower = qv::ToLower<char>(text);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (qv::ToLower<char>(texts[i]) == lower)
            return static_cast<int>(i);
    }
    if (text.size() > 1 && text[0] == '#') {
        if (const std::optional<int> index = ParseInt(std::string_view(text).substr(1));
            index && *index >= 0 && *index < static_cast<int>(texts.size()))
            return *index;
    }
    throw ActionError("control " + std::to_string(control.id) + " has no entry \"" + text + "\"");
}

TreeNode* FindNode(Window& tree, const std::string& path) {
    std::vector<std::string> parts;
    std::string_view rest(path);
    while (true) {
        const std::size_t at = rest.find('>');
        parts.emplace_back(TrimBlanks(rest.substr(0, at)));
        if (at == std::string_view::npos)
            break;
        rest.remove_prefix(at + 1);
    }
    TreeState& state = tree.As<TreeState>();
    TreeNode* node = nullptr;
    for (const std::string& part : parts) {
        auto& children = node ? node->children : state.roots;
        std::vector<std::string> texts;
        for (const auto& child : children)
            texts.push_back(child->text);
        TreeNode* found = nullptr;
        for (std::size_t i = 0; i < texts.size() && !found; ++i) {
            if (texts[i] == part)
                found = children[i].get();
        }
        for (std::size_t i = 0; i < texts.size() && !found; ++i) {
            if (qv::ToLower<char>(texts[i]) == qv::ToLower<char>(part))
                found = children[i].get();
        }
        if (!found)
            throw ActionError("tree " + std::to_string(tree.id) + " has no item \"" +
                              (node ? TreePath(node) + " > " : std::string()) + part + "\"");
        node = found;
    }
    return node;
}

std::pair<int, int> ParsePair(std::string_view verb, std::string_view text) {
    const std::size_t comma = text.find(',');
    const std::optional<int> a = ParseInt(text.substr(0, comma));
    const std::optional<int> b =
        comma == std::string_view::npos ? std::nullopt : ParseInt(text.substr(comma + 1));
    if (!a || !b)
        throw ActionError(std::string(verb) + " needs two numbers written A,B");
    return {*a, *b};
}

void Pick(Window& control, const std::string& text) {
    switch (control.kind) {
        case Kind::TreeView:
            user::PickNode(control, FindNode(control, text));
            return;
        case Kind::ComboBox:
        case Kind::ListBox: {
            std::vector<std::string> texts;
            for (const ListItem& item : *ItemsOf(&control))
                texts.push_back(item.text);
            user::PickIndex(control, FindEntry(control, text, texts));
            return;
        }
        case Kind::ListView: {
            std::vector<std::string> texts;
            const int rows = static_cast<int>(control.As<ListViewState>().rows.size());
            for (int r = 0; r < rows; ++r)
                texts.push_back(ListCell(&control, r, 0));
            user::PickIndex(control, FindEntry(control, text, texts));
            return;
        }
        default:
            throw ActionError("control " + std::to_string(control.id) + " (" +
                              KindName(control.kind) + ") has no entries to pick");
    }
}

void OpenMenu(DialogSession& session, Window& control, const std::string& choice) {
    session.menuShown = false;
    session.pendingMenuChoice.reset();
    session.pendingMenuText = TrimBlanks(choice);
    struct Clear {
        DialogSession& s;
        ~Clear() {
            s.pendingMenuText.clear();
            s.pendingMenuChoice.reset();
        }
    } clear{session};
    user::ContextMenu(control, ScreenCenterOf(control));
    if (!session.menuShown)
        throw ActionError("control " + std::to_string(control.id) + " showed no context menu");
    if (!session.menuError.empty()) {
        const std::string error = session.menuError;
        session.menuError.clear();
        throw ActionError(error);
    }
}

}  // namespace

UINT KeyFromName(std::string_view name) {
    const std::string key = Lower(TrimBlanks(name));
    static const std::pair<const char*, UINT> keys[] = {
        {"enter", VK_RETURN},   {"return", VK_RETURN}, {"esc", VK_ESCAPE},    {"escape", VK_ESCAPE},
        {"tab", VK_TAB},        {"space", VK_SPACE},   {"delete", VK_DELETE}, {"del", VK_DELETE},
        {"backspace", VK_BACK}, {"back", VK_BACK},     {"up", VK_UP},         {"down", VK_DOWN},
        {"left", VK_LEFT},      {"right", VK_RIGHT},   {"home", VK_HOME},     {"end", VK_END},
        {"f1", VK_F1},          {"f2", VK_F2}};
    for (const auto& [keyName, vk] : keys) {
        if (key == keyName)
            return vk;
    }
    return 0;
}

std::string ActionHelp() {
    return "\nDialog actions:"
           "\n  @click ID             press a button, toggle a check box"
           "\n  @set ID TEXT          type TEXT into an edit or editable combo box (check box: 0/1)"
           "\n  @pick ID TEXT         choose an entry, a list row (by its first cell) or a tree"
           "\n                        item (a path: parent > child); #N picks by position"
           "\n  @dblclick ID ROW,COL  double-click a list cell"
           "\n  @key ID NAME          press Enter, Esc, Tab, Space, Delete, Backspace, arrows ..."
           "\n  @focus ID             move the focus to a control"
           "\n  @select ID START END  select characters START to END of an edit control"
           "\n  @menu ID [COMMAND]    open a control's context menu and choose an entry"
           "\n  @expand ID PATH, @collapse ID PATH   open or close a tree item"
           "\n  @hover ID X,Y         move the mouse over a control"
           "\n  @clipboard TEXT       put TEXT on the clipboard"
           "\n  @ok, @cancel, @close  Enter, Esc, the window's close box"
           "\n  @show [ID]            print the dialog (or one control in full)"
           "\n  @screenshot FILE.png  save a picture of the dialog (desktop toolkit)"
           "\n  *Cancel*              as @cancel";
}

void PerformAction(DialogSession& session, std::string_view line) {
    const Words words = SplitVerb(line);
    const std::string verb = Lower(words.verb);
    const std::string_view rest = words.rest;

    if (verb == "@ok") {
        user::Ok(session);
    } else if (verb == "@cancel") {
        user::Cancel(session);
    } else if (verb == "@close") {
        user::Close(session);
    } else if (verb == "@show") {
        if (TrimBlanks(rest).empty()) {
            CommandLineWrite(ShowDialog(session));
        } else {
            const auto [id, ignored] = IdAndText("@show", rest, false);
            CommandLineWrite(ShowDialog(session, &ControlOf(session, id)));
        }
    } else if (verb == "@help") {
        CommandLineWrite(ActionHelp());
    } else if (verb == "@click") {
        const auto [id, ignored] = IdAndText("@click", rest, false);
        user::Click(ControlOf(session, id));
    } else if (verb == "@set") {
        const auto [id, text] = IdAndText("@set", rest, true);
        user::SetText(ControlOf(session, id), text);
    } else if (verb == "@pick") {
        const auto [id, text] = IdAndText("@pick", rest, true);
        Pick(ControlOf(session, id), text);
    } else if (verb == "@expand" || verb == "@collapse") {
        const auto [id, text] = IdAndText(verb, rest, true);
        Window& tree = ControlOf(session, id);
        if (tree.kind != Kind::TreeView)
            throw ActionError("control " + std::to_string(id) + " is not a tree");
        user::ExpandNode(tree, FindNode(tree, text), verb == "@expand");
    } else if (verb == "@dblclick") {
        const auto [id, text] = IdAndText("@dblclick", rest, true);
        const auto [row, column] = ParsePair("@dblclick", text);
        user::DoubleClickCell(ControlOf(session, id), row, column);
    } else if (verb == "@key") {
        const auto [id, text] = IdAndText("@key", rest, true);
        const UINT key = KeyFromName(text);
        if (!key)
            throw ActionError(
                "@key knows Enter, Esc, Tab, Space, Delete, Backspace, Up, Down, "
                "Left, Right, Home, End, F1, F2; not \"" +
                text + "\"");
        user::Key(ControlOf(session, id), key);
    } else if (verb == "@focus") {
        const auto [id, ignored] = IdAndText("@focus", rest, false);
        user::Focus(ControlOf(session, id));
    } else if (verb == "@select") {
        const auto [id, text] = IdAndText("@select", rest, true);
        const std::size_t blank = text.find(' ');
        const std::optional<int> start = ParseInt(std::string_view(text).substr(0, blank));
        const std::optional<int> end =
            blank == std::string::npos ? start : ParseInt(std::string_view(text).substr(blank + 1));
        if (!start || !end)
            throw ActionError("@select needs a control id and two character positions");
        user::SelectText(ControlOf(session, id), *start, *end);
    } else if (verb == "@menu") {
        const auto [id, text] = IdAndText("@menu", rest, false);
        OpenMenu(session, ControlOf(session, id), text);
    } else if (verb == "@hover") {
        const auto [id, text] = IdAndText("@hover", rest, true);
        const auto [x, y] = ParsePair("@hover", text);
        user::MouseMove(ControlOf(session, id), POINT{x, y});
    } else if (verb == "@clipboard") {
        CurrentToolkit().SetClipboardText(std::string(rest));
    } else if (verb == "@screenshot") {
        if (TrimBlanks(rest).empty())
            throw ActionError("@screenshot needs a file name");
        CurrentToolkit().Screenshot(session, std::string(TrimBlanks(rest)));
    } else {
        throw ActionError("unknown dialog action " + std::string(words.verb) +
                          " (@help lists them)");
    }
}

}  // namespace host::ui
