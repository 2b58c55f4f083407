#include "case_file.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace cases {

namespace {

constexpr std::string_view kMarker = "==== ";

bool IsMarker(const std::string& line) {
    return line.compare(0, kMarker.size(), kMarker) == 0;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The lines of a text, without their "\n". A text ending without one has its last line all
// the same.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            lines.push_back(text.substr(begin));
            break;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

int ParseBuild(const std::string& word, int line) {
    if (word == "16" || word == "R16")
        return 16;
    if (word == "17" || word == "R17")
        return 17;
    throw CaseError(line, "unknown build " + word + " (builds are 16 and 17, or none)");
}

FileRef ParseFileRef(const std::vector<std::string>& words, int line) {
    // words: keyword REF [as NAME]
    if (words.size() != 2 && !(words.size() == 4 && words[2] == "as"))
        throw CaseError(line, words[0] + " takes a file and optionally \"as NAME\"");
    FileRef ref;
    std::string path = words[1];
    const std::size_t colon = path.find(':');
    if (colon != std::string::npos) {
        const std::string root = path.substr(0, colon);
        if (root == "src")
            ref.root = FileRef::Root::Source;
        else if (root == "build")
            ref.root = FileRef::Root::Build;
        else if (root == "testdata")
            ref.root = FileRef::Root::TestData;
        else
            throw CaseError(line, "unknown root " + root + ": (use src:, build: or testdata:)");
        path = path.substr(colon + 1);
    }
    if (path.empty() || path[0] == '/')
        throw CaseError(line, "a file is named relative to src:, build: or testdata:");
    ref.path = path;
    const std::string target = words.size() == 4 ? words[3] : path.substr(path.rfind('/') + 1);
    if (target.empty() || target[0] == '/' || target.find("..") != std::string::npos)
        throw CaseError(line, "a file's place in the work folder is a relative name");
    ref.target = target;
    return ref;
}

// A section's first line: "==== KIND [NAME|STATUS] [crlf] [noeol] [R16|R17]".
struct SectionHead {
    std::string kind;
    std::string name;
    int exit = 0;
    int build = kNoModule;
    bool crlf = false;
    bool noEol = false;
};

SectionHead ParseHead(const std::string& text, int line) {
    const std::vector<std::string> words = Words(text.substr(kMarker.size()));
    if (words.empty())
        throw CaseError(line, "a section line names its kind");
    SectionHead head;
    head.kind = words[0];
    static const std::set<std::string> kinds = {"script", "input", "output", "errors",
                                                "exit",   "file",  "absent"};
    if (!kinds.count(head.kind))
        throw CaseError(line, "unknown section " + head.kind +
                                  " (script, input, output, errors, exit, file, absent)");
    std::size_t next = 1;
    if (head.kind == "input" || head.kind == "file" || head.kind == "absent") {
        if (words.size() < 2)
            throw CaseError(line, head.kind + " names a file");
        head.name = words[next++];
        if (head.name[0] == '/' || head.name.find("..") != std::string::npos)
            throw CaseError(line, "a file of the work folder is named relative to it");
    } else if (head.kind == "exit") {
        const std::string status = words.size() > 1 ? words[next++] : "";
        if (status.empty() || status.size() > 3 ||
            !std::all_of(status.begin(), status.end(), [](char c) { return c >= '0' && c <= '9'; }))
            throw CaseError(line, "exit takes the exit status, a number");
        head.exit = std::stoi(status);
    }
    const bool hasText = head.kind != "exit" && head.kind != "absent" && head.kind != "script";
    const bool perBuild = head.kind != "script" && head.kind != "input";
    for (; next < words.size(); ++next) {
        const std::string& w = words[next];
        if (hasText && w == "crlf") {
            head.crlf = true;
        } else if (hasText && w == "noeol") {
            head.noEol = true;
        } else if (perBuild && (w == "R16" || w == "R17") && next + 1 == words.size()) {
            head.build = ParseBuild(w, line);
        } else {
            throw CaseError(line, "unexpected \"" + w + "\" in the " + head.kind + " line");
        }
    }
    return head;
}

// The bytes a section's lines stand for.
std::string Decode(const std::vector<std::string>& lines, bool crlf, bool noEol) {
    const std::string end = crlf ? "\r\n" : "\n";
    std::string text;
    for (const std::string& l : lines)
        text += l + end;
    if (noEol && !text.empty())
        text.resize(text.size() - end.size());
    return text;
}

// A section for a text: its head line with the flags the text needs, then its lines. The
// inverse of Decode.
std::string Encode(const std::string& head, const std::string& text, const std::string& tag) {
    const bool noEol = !text.empty() && text.back() != '\n';
    bool crlf = text.find('\n') != std::string::npos;
    for (std::size_t i = 0; crlf && i < text.size(); ++i)
        crlf = text[i] != '\n' || (i > 0 && text[i - 1] == '\r');
    std::string body;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(crlf && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            body += text[i];
    }
    if (noEol)
        body += '\n';
    for (const std::string& line : SplitLines(body)) {
        if (IsMarker(line))
            throw CaseError(0, "a line starting with \"" + std::string(kMarker) +
                                   "\" cannot stand in a section: " + line);
    }
    std::string out = std::string(kMarker) + head;
    if (crlf)
        out += " crlf";
    if (noEol)
        out += " noeol";
    if (!tag.empty())
        out += " " + tag;
    return out + "\n" + body;
}

const Expectation* Find(const Case& c, Expectation::Kind kind, const std::string& name, int build) {
    for (const Expectation& e : c.expectations)
        if (e.kind == kind && e.name == name && e.build == build)
            return &e;
    return nullptr;
}

}  // namespace

std::string BuildTag(int build) {
    return build == kNoModule ? "host" : "R" + std::to_string(build);
}

Case ParseCase(const std::string& text) {
    Case c;
    const std::vector<std::string> lines = SplitLines(text);
    std::size_t i = 0;
    bool sawBuilds = false;

    // The header.
    for (; i < lines.size() && !IsMarker(lines[i]); ++i) {
        const int line = static_cast<int>(i + 1);
        const std::vector<std::string> words = Words(lines[i]);
        if (words.empty() || words[0][0] == '#')
            continue;
        const std::string& key = words[0];
        if (key == "drawing") {
            if (c.drawing)
                throw CaseError(line, "a case opens one drawing");
            c.drawing = ParseFileRef(words, line);
        } else if (key == "file") {
            c.files.push_back(ParseFileRef(words, line));
        } else if (key == "builds") {
            if (sawBuilds)
                throw CaseError(line, "builds is given twice");
            sawBuilds = true;
            if (words.size() == 2 && words[1] == "none")
                continue;
            c.builds.clear();
            for (std::size_t w = 1; w < words.size(); ++w) {
                const int build = ParseBuild(words[w], line);
                if (std::find(c.builds.begin(), c.builds.end(), build) != c.builds.end())
                    throw CaseError(line, "build " + words[w] + " is named twice");
                c.builds.push_back(build);
            }
            if (c.builds.empty())
                throw CaseError(line, "builds names 16, 17 or none");
        } else if (key == "args") {
            c.args.insert(c.args.end(), words.begin() + 1, words.end());
        } else if (key == "env") {
            if (words.size() != 2 || words[1].find('=') == std::string::npos ||
                words[1].front() == '=')
                throw CaseError(line, "env takes one NAME=VALUE");
            c.env.push_back(words[1]);
        } else if (key == "http-server") {
            if (words.size() != 2 || (words[1] != "files" && words[1] != "silent"))
                throw CaseError(line, "http-server takes files or silent");
            if (!c.httpServer.empty())
                throw CaseError(line, "a case has one http-server");
            c.httpServer = words[1];
        } else if (key == "timeout") {
            const std::string s = words.size() == 2 ? words[1] : "";
            if (s.empty() || s.size() > 4 ||
                !std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) ||
                std::stoi(s) == 0)
                throw CaseError(line, "timeout takes a number of seconds");
            c.timeoutSeconds = std::stoi(s);
        } else {
            throw CaseError(line,
                            "unknown header line " + key +
                                " (drawing, file, builds, args, env, http-server, timeout, or # "
                                "for a comment)");
        }
    }

    // The sections.
    bool sawScript = false, sawExpectation = false;
    std::set<std::string> inputNames;
    std::size_t keptEnd = i;  // lines kept verbatim: up to the first expected section
    while (i < lines.size()) {
        const int line = static_cast<int>(i + 1);
        const SectionHead head = ParseHead(lines[i], line);
        std::vector<std::string> body;
        for (++i; i < lines.size() && !IsMarker(lines[i]); ++i)
            body.push_back(lines[i]);
        const std::string bytes = Decode(body, head.crlf, head.noEol);

        if (head.kind == "script" || head.kind == "input") {
            if (sawExpectation)
                throw CaseError(line,
                                "the script and input files come before the expected "
                                "sections");
            if (head.kind == "script") {
                if (sawScript)
                    throw CaseError(line, "a case has one script");
                sawScript = true;
                c.script = bytes;
            } else {
                if (!inputNames.insert(head.name).second)
                    throw CaseError(line, "input " + head.name + " is given twice");
                c.inputs.push_back({head.name, bytes});
            }
            keptEnd = i;
            continue;
        }
        sawExpectation = true;
        if (head.build != kNoModule &&
            std::find(c.builds.begin(), c.builds.end(), head.build) == c.builds.end())
            throw CaseError(
                line, "section for " + BuildTag(head.build) + ", a build the case does not run");
        Expectation e;
        e.build = head.build;
        e.name = head.name;
        if (head.kind == "output") {
            e.kind = Expectation::Kind::Output;
        } else if (head.kind == "errors") {
            e.kind = Expectation::Kind::Errors;
        } else if (head.kind == "exit") {
            e.kind = Expectation::Kind::Exit;
            e.exit = head.exit;
        } else if (head.kind == "file") {
            e.kind = Expectation::Kind::File;
        } else {
            e.kind = Expectation::Kind::Absent;
        }
        if (head.kind == "exit" || head.kind == "absent") {
            for (const std::string& l : body)
                if (!Words(l).empty())
                    throw CaseError(line, head.kind + " has nothing under it");
        } else {
            e.text = bytes;
        }
        // One section of a kind per file and build; a file is either expected or absent.
        for (const Expectation& other : c.expectations) {
            const bool fileKinds =
                (e.kind == Expectation::Kind::File || e.kind == Expectation::Kind::Absent) &&
                (other.kind == Expectation::Kind::File || other.kind == Expectation::Kind::Absent);
            if ((other.kind == e.kind || fileKinds) && other.name == e.name &&
                other.build == e.build)
                throw CaseError(line, "the " + head.kind + " section is given twice");
        }
        c.expectations.push_back(std::move(e));
    }
    if (!sawScript)
        throw CaseError(static_cast<int>(lines.size()), "the case has no \"==== script\" section");

    for (std::size_t k = 0; k < keptEnd; ++k)
        c.kept += lines[k] + "\n";
    return c;
}

std::vector<std::string> ExpectedFileNames(const Case& c) {
    std::vector<std::string> names;
    for (const Expectation& e : c.expectations) {
        if ((e.kind == Expectation::Kind::File || e.kind == Expectation::Kind::Absent) &&
            std::find(names.begin(), names.end(), e.name) == names.end())
            names.push_back(e.name);
    }
    return names;
}

Outcome ExpectedOf(const Case& c, int build) {
    auto pick = [&](Expectation::Kind kind, const std::string& name) -> const Expectation* {
        if (const Expectation* own = Find(c, kind, name, build); own && build != kNoModule)
            return own;
        return Find(c, kind, name, kNoModule);
    };
    Outcome o;
    if (const Expectation* e = pick(Expectation::Kind::Output, ""))
        o.out = e->text;
    if (const Expectation* e = pick(Expectation::Kind::Errors, ""))
        o.err = e->text;
    if (const Expectation* e = pick(Expectation::Kind::Exit, ""))
        o.exit = e->exit;
    for (const std::string& name : ExpectedFileNames(c)) {
        const Expectation* file = pick(Expectation::Kind::File, name);
        const Expectation* absent = pick(Expectation::Kind::Absent, name);
        // A build's own section wins over a common one of the other kind.
        if (file && absent)
            (file->build == build ? absent : file) = nullptr;
        if (file)
            o.files[name] = file->text;
        else
            o.files[name] = std::nullopt;
    }
    return o;
}

std::string WriteCase(const Case& c, const std::map<int, Outcome>& outcomes) {
    std::string out = c.kept;
    std::vector<int> builds;
    for (const auto& [build, outcome] : outcomes)
        builds.push_back(build);
    const bool several = builds.size() > 1;
    auto same = [&](auto value) {
        for (int b : builds)
            if (value(outcomes.at(b)) != value(outcomes.at(builds.front())))
                return false;
        return true;
    };
    auto tag = [&](int b) { return several ? BuildTag(b) : std::string(); };

    // Standard output and errors: nothing written for an empty text.
    auto texts = [&](const std::string& head, auto value) {
        if (same(value)) {
            const std::string text = value(outcomes.at(builds.front()));
            if (!text.empty())
                out += Encode(head, text, "");
            return;
        }
        for (int b : builds)
            if (!value(outcomes.at(b)).empty())
                out += Encode(head, value(outcomes.at(b)), tag(b));
    };
    texts("output", [](const Outcome& o) { return o.out; });
    texts("errors", [](const Outcome& o) { return o.err; });

    auto exitOf = [](const Outcome& o) { return o.exit; };
    if (same(exitOf)) {
        out +=
            std::string(kMarker) + "exit " + std::to_string(exitOf(outcomes.at(builds[0]))) + "\n";
    } else {
        for (int b : builds)
            out += std::string(kMarker) + "exit " + std::to_string(exitOf(outcomes.at(b))) + " " +
                   tag(b) + "\n";
    }

    for (const std::string& name : ExpectedFileNames(c)) {
        auto fileOf = [&](const Outcome& o) {
            const auto it = o.files.find(name);
            return it == o.files.end() ? std::optional<std::string>() : it->second;
        };
        auto write = [&](const std::optional<std::string>& content, const std::string& t) {
            if (content)
                out += Encode("file " + name, *content, t);
            else
                out += std::string(kMarker) + "absent " + name + (t.empty() ? "" : " " + t) + "\n";
        };
        if (same(fileOf)) {
            write(fileOf(outcomes.at(builds[0])), "");
        } else {
            for (int b : builds)
                write(fileOf(outcomes.at(b)), tag(b));
        }
    }
    return out;
}

void Placeholders::Add(const std::string& name, const std::string& value) {
    m_values.emplace_back("@" + name + "@", value);
    std::stable_sort(m_values.begin(), m_values.end(), [](const auto& a, const auto& b) {
        return a.second.size() > b.second.size();
    });
}

std::string Placeholders::Fill(std::string text) const {
    for (const auto& [key, value] : m_values) {
        if (value.empty())
            continue;
        for (std::size_t at = 0; (at = text.find(key, at)) != std::string::npos; at += value.size())
            text.replace(at, key.size(), value);
    }
    return text;
}

std::string Placeholders::Mask(std::string text) const {
    for (const auto& [key, value] : m_values) {
        if (value.empty())
            continue;
        for (std::size_t at = 0; (at = text.find(value, at)) != std::string::npos; at += key.size())
            text.replace(at, value.size(), key);
    }
    return text;
}

}  // namespace cases
