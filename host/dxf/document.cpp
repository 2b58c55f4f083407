#include "host/dxf/document.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "host/dxf/encoding.h"
#include "host/dxf/table_entity.h"

namespace host::dxf {

// ---- records ----

std::string_view Record::type() const {
    if (tags.empty())
        return {};
    return tags.front().value;
}

std::uint64_t Record::handle() const {
    const int code = type() == "DIMSTYLE" ? 105 : 5;
    for (std::size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].code == code) {
            std::uint64_t h = 0;
            return ParseHandle(tags[i].value, h) ? h : 0;
        }
        if (tags[i].code == 1001)
            break;
    }
    return 0;
}

std::uint64_t Record::owner() const {
    int depth = 0;
    for (std::size_t i = 1; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 102) {
            depth = (!t.value.empty() && t.value[0] == '{') ? 1 : 0;
        } else if (t.code == 330 && depth == 0) {
            std::uint64_t h = 0;
            return ParseHandle(t.value, h) ? h : 0;
        } else if (t.code == 1001 || t.code == 100) {
            if (t.code == 1001)
                break;
        }
    }
    return 0;
}

const Tag* Record::find(int code) const {
    for (std::size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].code == code)
            return &tags[i];
    }
    return nullptr;
}

std::string Record::value(int code) const {
    const Tag* t = find(code);
    return t ? t->value : std::string();
}

void Record::set(int code, std::string value) {
    for (std::size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].code == code) {
            tags[i].value = std::move(value);
            return;
        }
    }
    tags.push_back({code, std::move(value)});
}

// ---- document ----

std::string Document::version() const {
    const HeaderVariable* v = headerVariable("$ACADVER");
    return v && !v->values.empty() ? v->values.front().value : std::string();
}

HeaderVariable* Document::headerVariable(std::string_view name) {
    for (auto& v : header) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

const HeaderVariable* Document::headerVariable(std::string_view name) const {
    for (auto& v : header) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

SymbolTable* Document::table(std::string_view name) {
    for (auto& t : tables) {
        if (t.name() == name)
            return &t;
    }
    return nullptr;
}

namespace {

class Parser {
public:
    Parser(std::string_view text, std::vector<Repair>* repairs, const ReadOptions& options,
           const ReachedFn& reached)
        : text_(text), reader_(text), log_(repairs), options_(options), reached_(reached) {}

    Document Run();

private:
    bool Next(TagView& t) {
        while (reader_.Next(t)) {
            if (reader_.offset() >= nextReached_)
                Reached();
            if (t.code != 999)
                return true;  // comments are dropped
        }
        return false;
    }
    void Reached() {
        constexpr std::size_t kReachedStep = std::size_t(4) << 20;
        if (!reached_) {
            nextReached_ = std::size_t(-1);
            return;
        }
        reached_(text_.data() + reader_.offset());
        nextReached_ = reader_.offset() + kReachedStep;
    }
    TagView Expect(const char* what) {
        TagView t;
        if (!Next(t)) {
            throw DxfError(reader_.line(),
                           std::string("the file ends inside ") + what + " (truncated file?)");
        }
        return t;
    }
    void ReadHeader(Document& doc);
    void ReadRecords(std::vector<Record>& out, const char* section);
    void ReadTables(Document& doc);
    void ReadBlocks(Document& doc);
    // Reads one record whose (0, type) tag was just read; stops before the next 0 tag.
    void ReadRecord(const TagView& first, Record& rec, const char* section);
    void ReadTableEntity(Record& rec, std::size_t firstLine);
    // Notes the place of a "*T" block's entity whose (0, type) tag was just read and skips it.
    void SkipDeferred(const TagView& first, Document& doc, Block& block);
    void CheckXData(Record& rec, std::size_t line);

    std::string_view text_;
    TagReader reader_;
    RepairLog log_;
    ReadOptions options_;
    const ReachedFn& reached_;
    std::size_t nextReached_ = 0;
    bool inTableBlock_ = false;
    std::unordered_map<std::string, std::uint32_t> deferredTypes_;  // index by type
    std::uint32_t lastDeferredType_ = 0;  // the type of the last deferred entity
};

Document Parser::Run() {
    Document doc;
    TagView t;
    std::string lastSection;
    bool sawEof = false;
    while (Next(t)) {
        if (t.code == 0 && t.value == "EOF") {
            sawEof = true;
            break;
        }
        if (t.code != 0 || t.value != "SECTION") {
            throw DxfError(t.line, "expected \"0/SECTION\" or \"0/EOF\", found group " +
                                       std::to_string(t.code) + " \"" +
                                       std::string(t.value.substr(0, 40)) + "\"");
        }
        TagView n = Expect("a section");
        if (n.code != 2)
            throw DxfError(n.line, "a section must start with its name (group 2)");
        const std::string name = std::string(TrimSpaces(n.value));
        auto once = [&](bool& flag) {
            if (flag)
                throw DxfError(n.line, "the " + name + " section appears twice");
            flag = true;
        };
        if (name == "HEADER") {
            once(doc.hasHeader);
            ReadHeader(doc);
        } else if (name == "CLASSES") {
            once(doc.hasClasses);
            ReadRecords(doc.classes, "the CLASSES section");
        } else if (name == "TABLES") {
            once(doc.hasTables);
            ReadTables(doc);
        } else if (name == "BLOCKS") {
            once(doc.hasBlocks);
            ReadBlocks(doc);
        } else if (name == "ENTITIES") {
            once(doc.hasEntities);
            ReadRecords(doc.entities, "the ENTITIES section");
        } else if (name == "OBJECTS") {
            once(doc.hasObjects);
            ReadRecords(doc.objects, "the OBJECTS section");
        } else {
            OtherSection other;
            other.name = name;
            other.after = lastSection;
            for (;;) {
                TagView x = Expect(("the " + name + " section").c_str());
                if (x.code == 0 && x.value == "ENDSEC")
                    break;
                if (x.code == 0 && (x.value == "SECTION" || x.value == "EOF")) {
                    throw DxfError(x.line, "the " + name + " section has no ENDSEC");
                }
                other.tags.push_back(OwnTag(x));
            }
            doc.otherSections.push_back(std::move(other));
            continue;  // it goes back after the same known section
        }
        lastSection = name;
    }
    if (!sawEof) {
        if (!log_.Recovering()) {
            throw DxfError(reader_.line(), "the file ends without \"0/EOF\" (truncated file?)");
        }
        log_.Add({RepairCode::kMissingEof, reader_.line(), 0,
                  "the file ends without 0/EOF; the end marker was added"});
    }
    if (!doc.hasEntities && !doc.hasBlocks && !doc.hasTables && !doc.hasHeader) {
        throw DxfError(reader_.line(), "no DXF sections found: this is not a DXF drawing");
    }
    return doc;
}

void Parser::ReadHeader(Document& doc) {
    for (;;) {
        TagView t = Expect("the HEADER section");
        if (t.code == 0) {
            if (t.value == "ENDSEC")
                return;
            throw DxfError(t.line, "the HEADER section has no ENDSEC before \"" +
                                       std::string(t.value.substr(0, 40)) + "\"");
        }
        if (t.code == 9) {
            doc.header.push_back(HeaderVariable{std::string(TrimSpaces(t.value)), {}});
        } else if (doc.header.empty()) {
            throw DxfError(t.line, "header value (group " + std::to_string(t.code) +
                                       ") without a variable name (group 9)");
        } else {
            doc.header.back().values.push_back(OwnTag(t));
        }
    }
}

void Parser::ReadRecords(std::vector<Record>& out, const char* section) {
    TagView t = Expect(section);
    for (;;) {
        if (t.code != 0) {
            throw DxfError(t.line, std::string("expected the start of an item (group 0) in ") +
                                       section + ", found group " + std::to_string(t.code));
        }
        if (t.value == "ENDSEC")
            return;
        if (t.value == "SECTION" || t.value == "EOF") {
            throw DxfError(t.line, std::string(section) + " has no ENDSEC");
        }
        Record rec;
        ReadRecord(t, rec, section);
        out.push_back(std::move(rec));
        t = Expect(section);
    }
}

void Parser::ReadRecord(const TagView& first, Record& rec, const char* section) {
    rec.line = first.line;
    if (first.value == "ACAD_TABLE") {
        rec.tags.push_back(OwnTag(first));
        ReadTableEntity(rec, first.line);
        return;
    }
    rec.tags.push_back(OwnTag(first));
    TagView t;
    while (Next(t)) {
        if (t.code == 0) {
            reader_.PushBack(t);
            CheckXData(rec, first.line);
            return;
        }
        rec.tags.push_back(OwnTag(t));
    }
    throw DxfError(reader_.line(),
                   std::string("the file ends inside ") + section + " (truncated file?)");
}

void Parser::SkipDeferred(const TagView& first, Document& doc, Block& block) {
    DeferredEntity entity;
    entity.line = first.line;
    // Entities of a kind come in long runs (the lines of a table, then its texts).
    if (lastDeferredType_ < doc.deferredTypes.size() &&
        doc.deferredTypes[lastDeferredType_] == first.value) {
        entity.type = lastDeferredType_;
    } else {
        auto [type, added] = deferredTypes_.try_emplace(
            std::string(first.value), static_cast<std::uint32_t>(doc.deferredTypes.size()));
        if (added)
            doc.deferredTypes.push_back(type->first);
        entity.type = lastDeferredType_ = type->second;
    }
    entity.before = static_cast<std::uint32_t>(block.entities.size());
    // Reading resumes after the entity's type tag.
    entity.offset = reader_.offset();
    // The content is checked when the entity is read for use (Document::Materialize).
    reader_.CheckValues(false);
    TagView t;
    while (Next(t)) {
        if (t.code == 0) {
            reader_.CheckValues(true);
            reader_.PushBack(t);
            block.deferred.push_back(entity);
            return;
        }
        if (t.code == 5 && entity.handle == 0)
            ParseHandle(t.value, entity.handle);
    }
    throw DxfError(reader_.line(), "the file ends inside a block (truncated file?)");
}

void Parser::CheckXData(Record& rec, std::size_t line) {
    Tags& tags = rec.table ? rec.xdata : rec.tags;
    std::size_t i = 0;
    while (i < tags.size() && tags[i].code != 1001)
        ++i;
    while (i < tags.size()) {
        // One application's data: from its 1001 to the next.
        std::size_t end = i + 1;
        while (end < tags.size() && tags[end].code != 1001)
            ++end;
        std::string problem;
        int depth = 0;
        for (std::size_t k = i + 1; k < end && problem.empty(); ++k) {
            const Tag& t = tags[k];
            if (t.code < 1000) {
                problem = "group " + std::to_string(t.code) + " inside its extended data";
            } else if (t.code == 1002) {
                const std::string_view v = TrimSpaces(t.value);
                if (v == "{") {
                    ++depth;
                } else if (v == "}") {
                    if (--depth < 0)
                        problem = "a closing brace (1002) without an opening one";
                } else {
                    problem = "a 1002 group that is neither \"{\" nor \"}\"";
                }
            }
        }
        if (problem.empty() && depth != 0)
            problem = "unbalanced braces (1002): one left open";
        if (problem.empty()) {
            i = end;
            continue;
        }
        log_.Report(RepairCode::kBadExtendedData, line, rec.handle(),
                    std::string(rec.type()) + " " + FormatHandle(rec.handle()) +
                        ": extended data of \"" + tags[i].value + "\" has " + problem,
                    "that application's data was removed");
        tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(i),
                   tags.begin() + static_cast<std::ptrdiff_t>(end));
    }
}

void Parser::ReadTableEntity(Record& rec, std::size_t firstLine) {
    TableEntityReader table(rec);
    TagView t;
    while (Next(t)) {
        if (t.code == 0) {
            reader_.PushBack(t);
            break;
        }
        table.Take(t);
    }
    table.Finish(firstLine, log_);
    CheckXData(rec, firstLine);
}

void Parser::ReadTables(Document& doc) {
    for (;;) {
        TagView t = Expect("the TABLES section");
        if (t.code == 0 && t.value == "ENDSEC")
            return;
        if (t.code != 0 || t.value != "TABLE") {
            throw DxfError(t.line, "expected \"0/TABLE\" in the TABLES section, found group " +
                                       std::to_string(t.code) + " \"" +
                                       std::string(t.value.substr(0, 40)) + "\"");
        }
        SymbolTable table;
        ReadRecord(t, table.head, "a symbol table");
        if (TrimSpaces(table.head.value(2)).empty()) {
            throw DxfError(t.line, "a symbol table without a name (group 2)");
        }
        const std::string where = "the " + table.name() + " table";
        for (;;) {
            TagView e = Expect(where.c_str());
            if (e.code != 0)
                throw DxfError(e.line, "expected group 0 in a symbol table");
            if (e.value == "ENDTAB")
                break;
            if (e.value == "ENDSEC" || e.value == "TABLE" || e.value == "SECTION" ||
                e.value == "EOF") {
                throw DxfError(e.line, "the " + table.name() + " table has no ENDTAB");
            }
            Record rec;
            ReadRecord(e, rec, "a symbol table");
            table.entries.push_back(std::move(rec));
        }
        doc.tables.push_back(std::move(table));
    }
}

void Parser::ReadBlocks(Document& doc) {
    for (;;) {
        TagView t = Expect("the BLOCKS section");
        if (t.code == 0 && t.value == "ENDSEC")
            return;
        if (t.code != 0 || t.value != "BLOCK") {
            throw DxfError(t.line, "expected \"0/BLOCK\" in the BLOCKS section, found group " +
                                       std::to_string(t.code) + " \"" +
                                       std::string(t.value.substr(0, 40)) + "\"");
        }
        Block block;
        ReadRecord(t, block.begin, "a block");
        const std::string name = block.name();
        inTableBlock_ = name.size() > 2 && (name[0] == '*') && (name[1] == 'T' || name[1] == 't');
        const std::string where = "block \"" + name + "\"";
        for (;;) {
            TagView e = Expect(where.c_str());
            if (e.code != 0)
                throw DxfError(e.line, "expected group 0 in a block");
            if (e.value == "ENDBLK") {
                inTableBlock_ = false;
                ReadRecord(e, block.end, "a block");
                break;
            }
            if (e.value == "ENDSEC" || e.value == "BLOCK" || e.value == "SECTION" ||
                e.value == "EOF") {
                throw DxfError(e.line, "block \"" + name + "\" has no ENDBLK");
            }
            if (inTableBlock_ && options_.deferTableBlocks && e.value != "ACAD_TABLE") {
                SkipDeferred(e, doc, block);
                continue;
            }
            Record rec;
            ReadRecord(e, rec, "a block");
            block.entities.push_back(std::move(rec));
        }
        inTableBlock_ = false;
        doc.blocks.push_back(std::move(block));
    }
}

}  // namespace

Record Document::Materialize(const DeferredEntity& entity) const {
    Record record;
    record.line = entity.line;
    record.tags.push_back({0, deferredTypes[entity.type]});
    ForEachDeferredTag(entity, [&](const TagView& t) {
        if (t.code != 999)
            record.tags.push_back(OwnTag(t));
    });
    return record;
}

namespace {

Document Parse(std::shared_ptr<const void> text, std::string_view view,
               std::vector<Repair>* repairs, const ReadOptions& options, const ReachedFn& reached) {
    Parser parser(view, repairs, options, reached);
    Document doc = parser.Run();
    doc.source = std::move(text);
    doc.sourceView = view;
    return doc;
}

}  // namespace

Document ParseDocument(std::shared_ptr<const void> text, std::string_view view,
                       std::vector<Repair>* repairs, const ReadOptions& options) {
    return Parse(std::move(text), view, repairs, options, nullptr);
}

namespace {

// A file mapped into memory, read only. Each pass over it (the parsing of a UTF-8 file with
// its check; a second one when the check finds damage) keeps only a window around the place
// reached in memory: the pages ahead are read in with one call, those behind are handed
// back. Read again later (deferred records are), they come back from the file. So opening a
// drawing never holds the whole file besides what is built from it.
class Mapping {
public:
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    Mapping() = default;
    ~Mapping() {
        if (data_ != MAP_FAILED)
            munmap(data_, size_);
    }
    // False with errno set when the file cannot be mapped.
    bool Map(int fd, std::size_t size) {
        data_ = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data_ == MAP_FAILED)
            return false;
        size_ = size;
        end_ = (size + kPage - 1) & ~(kPage - 1);
        return true;
    }
    std::string_view View() const { return {static_cast<const char*>(data_), size_}; }
    // The pass has reached p.
    void Reach(const char* p) {
        char* base = static_cast<char*>(data_);
        const std::size_t at = static_cast<std::size_t>(p - base);
        const std::size_t ahead = std::min(end_, (at + kAhead + kPage - 1) & ~(kPage - 1));
        if (ahead > populated_) {
            // Read in with one call rather than a fault per page; an older kernel only starts
            // reading.
            if (madvise(base + populated_, ahead - populated_, kPopulateRead) != 0)
                madvise(base + populated_, ahead - populated_, MADV_WILLNEED);
            populated_ = ahead;
        }
        const std::size_t behind = at > kBehind ? (at - kBehind) & ~(kPage - 1) : 0;
        if (behind > released_) {
            madvise(base + released_, behind - released_, MADV_DONTNEED);
            released_ = behind;
        }
    }
    // The pass is over: every page is handed back, the next pass starts at the beginning.
    void EndPass() {
        if (populated_ > released_)
            madvise(static_cast<char*>(data_) + released_, populated_ - released_, MADV_DONTNEED);
        populated_ = released_ = 0;
    }

private:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kAhead = std::size_t(8) << 20;
    static constexpr std::size_t kBehind = std::size_t(2) << 20;
#ifdef MADV_POPULATE_READ
    static constexpr int kPopulateRead = MADV_POPULATE_READ;
#else
    static constexpr int kPopulateRead = 22;  // Linux 5.14 and later
#endif
    void* data_ = MAP_FAILED;
    std::size_t size_ = 0, end_ = 0;
    std::size_t populated_ = 0;  // pages below this were read in during this pass
    std::size_t released_ = 0;   // pages below this were handed back during this pass
};

// Parses UTF-8 text held by owner (text is a view of it) and checks its UTF-8 in the same
// pass, a little ahead of the parser, so that each page of a file is read in once. False,
// with nothing added to repairs, when the text has invalid sequences: then it must be
// repaired first and parsed again. An error of the parse counts only for valid text.
bool ParseCheckingUtf8(const std::shared_ptr<const void>& owner, std::string_view text,
                       std::vector<Repair>* repairs, const ReadOptions& options, Mapping* mapping,
                       Document& doc) {
    constexpr std::size_t kStep = std::size_t(4) << 20;  // the parser's steps
    Utf8Check check(text);
    const ReachedFn reached = [&](const char* p) {
        if (mapping)
            mapping->Reach(p);
        check.CheckTo(static_cast<std::size_t>(p - text.data()) + kStep);
    };
    const std::size_t kept = repairs ? repairs->size() : 0;
    std::exception_ptr failed;
    try {
        doc = Parse(owner, text, repairs, options, reached);
    } catch (...) {
        failed = std::current_exception();
    }
    // What the parse did not reach (when it stopped early).
    while (check.checked() < text.size()) {
        const std::size_t at = check.checked();
        if (mapping)
            mapping->Reach(text.data() + at);
        check.CheckTo(at + kStep);
    }
    if (mapping)
        mapping->EndPass();
    if (check.bad()) {
        if (repairs)
            repairs->resize(kept);
        doc = Document();
        return false;
    }
    if (failed)
        std::rethrow_exception(failed);
    return true;
}

// Decodes and parses text held by owner (bytes is a view of it). With a mapping (owner is
// that mapping), its window follows each pass.
Document DecodeAndParse(std::shared_ptr<const void> owner, std::string_view bytes,
                        std::vector<Repair>* repairs, const ReadOptions& options,
                        Mapping* mapping = nullptr) {
    ReachedFn reached;
    if (mapping)
        reached = [mapping](const char* p) { mapping->Reach(p); };
    DecodedText decoded = DecodeDxfText(bytes, reached, false);
    if (decoded.unchecked) {
        std::string_view text = bytes;
        if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        Document doc;
        if (ParseCheckingUtf8(owner, text, repairs, options, mapping, doc))
            return doc;
        decoded = DecodeDxfText(bytes, reached);  // checks again, and repairs
        if (mapping)
            mapping->EndPass();
    }
    if (repairs) {
        for (auto& r : decoded.repairs)
            repairs->push_back(r);
    }
    if (decoded.converted) {
        auto text = std::make_shared<std::string>(std::move(decoded.text));
        owner.reset();  // the undecoded bytes are not needed any more
        const std::string_view view = *text;
        return ParseDocument(std::move(text), view, repairs, options);
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    Document doc = Parse(std::move(owner), bytes, repairs, options, reached);
    if (mapping)
        mapping->EndPass();
    return doc;
}

}  // namespace

Document ReadDocumentBytes(std::string bytes, std::vector<Repair>* repairs,
                           const ReadOptions& options) {
    auto owner = std::make_shared<std::string>(std::move(bytes));
    const std::string_view view = *owner;
    return DecodeAndParse(std::move(owner), view, repairs, options);
}

Document ReadDocumentFile(const std::string& path, std::vector<Repair>* repairs,
                          const ReadOptions& options) {
    // Without blocking: opening a FIFO must not hang; only a plain file is read then.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw DxfError(0, "cannot open \"" + path + "\": " + std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw DxfError(0, "\"" + path + "\" is not a file");
    }
    if (st.st_size == 0) {
        close(fd);
        throw DxfError(0, "\"" + path + "\" is empty");
    }
    auto map = std::make_shared<Mapping>();
    const bool mapped = map->Map(fd, static_cast<std::size_t>(st.st_size));
    const int err = errno;
    close(fd);
    if (!mapped) {
        throw DxfError(0, "cannot read \"" + path + "\": " + std::strerror(err));
    }
    Mapping* mapping = map.get();
    const std::string_view view = map->View();
    return DecodeAndParse(std::move(map), view, repairs, options, mapping);
}

}  // namespace host::dxf
