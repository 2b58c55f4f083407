#include "host/session/menu_groups.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/base/text.h"
#include "host/dxf/atomic_file.h"

namespace host {

namespace {

std::vector<std::unique_ptr<MenuGroup>> g_groups;

// ---- Reading -----------------------------------------------------------------------------

struct Word {
    std::string text;
    bool quoted = false;
};

// The words of one statement line; throws MenuSourceError for a broken quote or escape.
std::vector<Word> SplitWords(std::string_view line, int number) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        Word word;
        if (line[i] != '"') {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                word.text += line[i++];
            words.push_back(std::move(word));
            continue;
        }
        word.quoted = true;
        ++i;
        bool closed = false;
        while (i < line.size()) {
            const char c = line[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\') {
                if (i >= line.size())
                    break;
                const char e = line[i++];
                if (e != '"' && e != '\\' && e != '^')
                    throw MenuSourceError(
                        number, std::string("unknown escape \\") + e + " (known: \\\" \\\\ \\^)");
                word.text += e;
            } else if (c == '^') {
                if (i >= line.size())
                    break;
                const char x =
                    static_cast<char>(std::toupper(static_cast<unsigned char>(line[i++])));
                if (x < '@' || x > '_')
                    throw MenuSourceError(
                        number, std::string("^") + x + " is no control character (^@ to ^_)");
                word.text += static_cast<char>(x - '@');
            } else {
                word.text += c;
            }
        }
        if (!closed)
            throw MenuSourceError(number, "the quoted text is not closed");
        if (i < line.size() && line[i] != ' ' && line[i] != '\t')
            throw MenuSourceError(number, "a blank must follow the closing quote");
        words.push_back(std::move(word));
    }
    return words;
}

class Reader {
public:
    explicit Reader(std::string_view text) {
        std::size_t start = 0;
        int number = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string_view line = text.substr(start, end - start);
            ++number;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            std::vector<Word> words = SplitWords(line, number);
            if (!words.empty() && !(words[0].text.starts_with('#') && !words[0].quoted))
                m_lines.push_back({number, std::move(words)});
            if (end == text.size())
                break;
            start = end + 1;
        }
    }

    std::unique_ptr<MenuGroup> Group() {
        auto group = std::make_unique<MenuGroup>();
        if (m_lines.empty())
            throw MenuSourceError(1, "the file holds no \"group NAME\" statement");
        const Line& first = m_lines[0];
        if (first.words[0].text != "group" || first.words.size() != 2)
            throw MenuSourceError(first.number, "the first statement must be \"group NAME\"");
        group->name = Name(first, 1, "group");
        for (m_next = 1; m_next < m_lines.size();) {
            const Line& line = m_lines[m_next++];
            const std::string& keyword = line.words[0].text;
            if (keyword == "menu") {
                Expect(line, 2, "menu NAME");
                auto menu = std::make_unique<PopupMenu>();
                menu->name = Name(line, 1, "menu");
                for (const auto& m : group->menus) {
                    if (EqualNoCase(m->name, menu->name))
                        throw MenuSourceError(line.number,
                                              "a menu named \"" + m->name + "\" exists already");
                }
                Items(*menu, line.number);
                group->menus.push_back(std::move(menu));
            } else if (keyword == "toolbar") {
                Expect(line, 2, "toolbar NAME");
                auto toolbar = std::make_unique<Toolbar>();
                toolbar->name = Name(line, 1, "toolbar");
                for (const auto& t : group->toolbars) {
                    if (EqualNoCase(t->name, toolbar->name))
                        throw MenuSourceError(line.number,
                                              "a toolbar named \"" + t->name + "\" exists already");
                }
                Buttons(*toolbar, line.number);
                group->toolbars.push_back(std::move(toolbar));
            } else {
                throw MenuSourceError(line.number,
                                      "expected menu or toolbar, found \"" + keyword + "\"");
            }
        }
        return group;
    }

private:
    struct Line {
        int number;
        std::vector<Word> words;
    };

    static void Expect(const Line& line, std::size_t count, const char* form) {
        if (line.words.size() != count)
            throw MenuSourceError(line.number, std::string("expected \"") + form + "\"");
    }

    static std::string Name(const Line& line, std::size_t i, const char* what) {
        if (line.words[i].text.empty())
            throw MenuSourceError(line.number, std::string("the ") + what + " needs a name");
        return line.words[i].text;
    }

    // The statements of a menu or sub-menu up to its "end".
    void Items(PopupMenu& menu, int opened) {
        while (m_next < m_lines.size()) {
            const Line& line = m_lines[m_next++];
            const std::string& keyword = line.words[0].text;
            if (keyword == "end") {
                Expect(line, 1, "end");
                return;
            }
            auto item = std::make_unique<MenuItem>();
            if (keyword == "separator") {
                Expect(line, 1, "separator");
                item->kind = MenuItem::Kind::Separator;
                item->label = "-";
                item->macro = "-";
            } else if (keyword == "submenu") {
                Expect(line, 2, "submenu LABEL");
                item->kind = MenuItem::Kind::SubMenu;
                item->label = Name(line, 1, "sub-menu");
                item->macro = "-";
                item->subMenu = std::make_unique<PopupMenu>();
                item->subMenu->name = item->label;
                Items(*item->subMenu, line.number);
            } else if (keyword == "item") {
                if (line.words.size() != 3 && line.words.size() != 5)
                    throw MenuSourceError(line.number,
                                          "expected \"item LABEL MACRO [endlevel N]\"");
                item->label = Name(line, 1, "item");
                item->macro = line.words[2].text;
                if (line.words.size() == 5) {
                    const std::string& n = line.words[4].text;
                    if (line.words[3].text != "endlevel" || n.empty() || n.size() > 2 ||
                        n.find_first_not_of("0123456789") != std::string::npos)
                        throw MenuSourceError(line.number,
                                              "expected \"endlevel N\" with N from 0 to 99");
                    item->endSubMenuLevel = std::stoi(n);
                }
            } else {
                throw MenuSourceError(
                    line.number,
                    "expected item, separator, submenu or end, found \"" + keyword + "\"");
            }
            menu.items.push_back(std::move(item));
        }
        throw MenuSourceError(opened, "\"" + menu.name + "\" has no \"end\"");
    }

    void Buttons(Toolbar& toolbar, int opened) {
        while (m_next < m_lines.size()) {
            const Line& line = m_lines[m_next++];
            const std::string& keyword = line.words[0].text;
            if (keyword == "end") {
                Expect(line, 1, "end");
                return;
            }
            auto item = std::make_unique<ToolbarItem>();
            if (keyword == "separator") {
                Expect(line, 1, "separator");
                item->kind = ToolbarItem::Kind::Separator;
            } else if (keyword == "button") {
                const char* form =
                    "expected \"button NAME HELP MACRO [bitmaps SMALL LARGE] [flyout]\"";
                if (line.words.size() < 4)
                    throw MenuSourceError(line.number, form);
                item->name = Name(line, 1, "button");
                item->help = line.words[2].text;
                item->macro = line.words[3].text;
                for (std::size_t i = 4; i < line.words.size();) {
                    const std::string& option = line.words[i].text;
                    if (option == "bitmaps" && i + 2 < line.words.size()) {
                        item->smallBitmap = line.words[i + 1].text;
                        item->largeBitmap = line.words[i + 2].text;
                        i += 3;
                    } else if (option == "flyout") {
                        item->flyout = true;
                        ++i;
                    } else {
                        throw MenuSourceError(line.number, form);
                    }
                }
            } else {
                throw MenuSourceError(
                    line.number, "expected button, separator or end, found \"" + keyword + "\"");
            }
            toolbar.items.push_back(std::move(item));
        }
        throw MenuSourceError(opened, "toolbar \"" + toolbar.name + "\" has no \"end\"");
    }

    std::vector<Line> m_lines;
    std::size_t m_next = 0;
};

// ---- Writing -----------------------------------------------------------------------------

void WriteItems(std::ostringstream& out, const PopupMenu& menu, int depth) {
    const std::string indent(4 * depth, ' ');
    for (const auto& item : menu.items) {
        switch (item->kind) {
            case MenuItem::Kind::Separator:
                out << indent << "separator\n";
                break;
            case MenuItem::Kind::SubMenu:
                out << indent << "submenu " << QuoteMenuText(item->label) << "\n";
                WriteItems(out, *item->subMenu, depth + 1);
                out << indent << "end\n";
                break;
            case MenuItem::Kind::Command:
                out << indent << "item " << QuoteMenuText(item->label) << " "
                    << QuoteMenuText(item->macro);
                if (item->endSubMenuLevel)
                    out << " endlevel " << item->endSubMenuLevel;
                out << "\n";
                break;
        }
    }
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

std::string QuoteMenuText(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '^') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += '^';
            out += static_cast<char>(u + '@');
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::unique_ptr<MenuGroup> ParseMenuSource(std::string_view text) {
    return Reader(text).Group();
}

std::string WriteMenuSource(const MenuGroup& group) {
    std::ostringstream out;
    out << "# Menu source of the menu group " << group.name << ", written by the host.\n";
    out << "group " << QuoteMenuText(group.name) << "\n";
    for (const auto& menu : group.menus) {
        out << "\nmenu " << QuoteMenuText(menu->name) << "\n";
        WriteItems(out, *menu, 1);
        out << "end\n";
    }
    for (const auto& toolbar : group.toolbars) {
        out << "\ntoolbar " << QuoteMenuText(toolbar->name) << "\n";
        for (const auto& item : toolbar->items) {
            if (item->kind == ToolbarItem::Kind::Separator) {
                out << "    separator\n";
                continue;
            }
            out << "    button " << QuoteMenuText(item->name) << " " << QuoteMenuText(item->help)
                << " " << QuoteMenuText(item->macro);
            if (!item->smallBitmap.empty() || !item->largeBitmap.empty())
                out << " bitmaps " << QuoteMenuText(item->smallBitmap) << " "
                    << QuoteMenuText(item->largeBitmap);
            if (item->flyout)
                out << " flyout";
            out << "\n";
        }
        out << "end\n";
    }
    return out.str();
}

const std::vector<std::unique_ptr<MenuGroup>>& MenuGroups() {
    return g_groups;
}

MenuGroup* LoadMenuGroup(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "MENULOAD: " + path + " is not a menu source file that can be read";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        error = "MENULOAD: cannot read " + path;
        return nullptr;
    }
    std::unique_ptr<MenuGroup> group;
    try {
        group = ParseMenuSource(text.str());
    } catch (const MenuSourceError& e) {
        error = "MENULOAD: " + path + ":" + std::to_string(e.Line()) + ": " + e.what();
        return nullptr;
    }
    for (const auto& g : g_groups) {
        if (EqualNoCase(g->name, group->name)) {
            error = "MENULOAD: the menu group \"" + g->name + "\" is loaded already (from " +
                    g->path + ")";
            return nullptr;
        }
    }
    group->path = Absolute(path);
    g_groups.push_back(std::move(group));
    return g_groups.back().get();
}

bool SaveMenuGroup(MenuGroup& group, std::string& error) {
    const std::string text = WriteMenuSource(group);
    if (!dxf::SaveFileAtomically(
            group.path, [&](const dxf::ByteSink& sink) { sink(text); }, error))
        return false;
    ++group.saves;
    return true;
}

void UnloadMenuGroups() {
    g_groups.clear();
}

const MenuItem* FindMenuItem(std::string_view path, std::string& error) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('>', start);
        parts.emplace_back(
            Trimmed(path.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    if (parts.size() < 3) {
        error = "a menu item is named \"group > menu > item\"";
        return nullptr;
    }
    const MenuGroup* group = nullptr;
    for (const auto& g : g_groups) {
        if (EqualNoCase(g->name, parts[0]))
            group = g.get();
    }
    if (!group) {
        error = "no menu group \"" + parts[0] + "\" is loaded";
        return nullptr;
    }
    const PopupMenu* menu = nullptr;
    for (const auto& m : group->menus) {
        if (EqualNoCase(m->name, parts[1]))
            menu = m.get();
    }
    if (!menu) {
        error = "menu group \"" + group->name + "\" has no menu \"" + parts[1] + "\"";
        return nullptr;
    }
    const MenuItem* found = nullptr;
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (found) {
            if (found->kind != MenuItem::Kind::SubMenu) {
                error = "\"" + found->label + "\" opens no sub-menu";
                return nullptr;
            }
            menu = found->subMenu.get();
        }
        found = nullptr;
        for (const auto& item : menu->items) {
            if (item->kind != MenuItem::Kind::Separator && EqualNoCase(item->label, parts[i])) {
                found = item.get();
                break;
            }
        }
        if (!found) {
            error = "menu \"" + menu->name + "\" has no item \"" + parts[i] + "\"";
            return nullptr;
        }
    }
    if (found->kind == MenuItem::Kind::SubMenu) {
        error = "\"" + found->label + "\" opens a sub-menu; choose one of its items";
        return nullptr;
    }
    return found;
}

MacroInputs SplitMacro(std::string_view macro) {
    MacroInputs result;
    std::string input;
    bool pending = false;
    for (const char c : macro) {
        if (c == 3) {
            result.cancels = true;
        } else if (c == ' ' || c == ';') {
            result.inputs.push_back(std::move(input));
            input.clear();
            pending = false;
        } else if (static_cast<unsigned char>(c) >= 0x20) {
            input += c;
            pending = true;
        }
    }
    if (pending)
        result.inputs.push_back(std::move(input));
    return result;
}

}  // namespace host
