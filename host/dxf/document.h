// DXF model level: a drawing file as sections of records, independent of the drawing
// database.
//
// A record is one entity, object, symbol-table entry, class, block begin or end, kept as its
// tags. Table entities (ACAD_TABLE) are parsed into TableData (see table_entity.h), since they
// can hold millions of cells; the entities of their anonymous "*T" blocks are kept only as
// places in the source text (DeferredEntity, a few words each) until it is known whether a
// table owns the block (then they are regenerated from the table on save) or not (then they
// are read as ordinary records).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/dxf/repair.h"
#include "host/dxf/tags.h"
#include "host/dxf/version.h"

namespace host::dxf {

struct TableData;  // a table entity's cells and geometry (see table_entity.h)

struct Record {
    Tags tags;  // tags[0] is (0, type)
    // Set for ACAD_TABLE: then tags hold the groups before the AcDbBlockReference subclass
    // and the extended data follows in xdata.
    std::shared_ptr<TableData> table;
    Tags xdata;            // only with table
    std::size_t line = 0;  // line of the record's type in the file (0: not from a file)

    std::string_view type() const;
    std::uint64_t handle() const;     // group 5 (105 for DIMSTYLE); 0 when none
    std::uint64_t owner() const;      // the 330 outside any 102 group; 0 when none
    const Tag* find(int code) const;  // first tag with that code (after the type)
    std::string value(int code) const;
    void set(int code, std::string value);  // replaces the first tag with the code, or appends
};

struct HeaderVariable {
    std::string name;  // "$ACADVER"
    Tags values;
};

struct SymbolTable {
    Record head;  // (0 TABLE)(2 name)(5 handle)...
    std::vector<Record> entries;
    std::string name() const { return head.value(2); }
};

// An entity of a "*T" block not read yet (see ReadOptions::deferTableBlocks).
struct DeferredEntity {
    std::size_t offset = 0;    // in the source text, after the entity's (0, type) tag
    std::size_t line = 0;      // line of its type
    std::uint64_t handle = 0;  // its first valid group 5; 0 when none
    std::uint32_t type = 0;    // index in Document::deferredTypes
    std::uint32_t before = 0;  // it comes before Block::entities[before] in the file
};

struct Block {
    Record begin;  // (0 BLOCK)
    std::vector<Record> entities;
    // In file order, among entities by their `before`. (A deque: a table's block can have
    // millions, and a deque grows without moving them.)
    std::deque<DeferredEntity> deferred;
    Record end;  // (0 ENDBLK)
    std::string name() const { return begin.value(2); }
    // Set when the block shows a table: its entities are generated from the table on
    // writing, with these handles in order (see CountTableBlockEntities), on this layer.
    std::shared_ptr<const TableData> generatedFrom;
    std::vector<std::uint64_t> generatedHandles;
    std::string generatedLayer = "0";

    // Calls onRecord(Record&) or onDeferred(DeferredEntity&) for each entity, in file order.
    template <class R, class D>
    void ForEachEntity(R onRecord, D onDeferred) {
        Walk(*this, onRecord, onDeferred);
    }
    template <class R, class D>
    void ForEachEntity(R onRecord, D onDeferred) const {
        Walk(*this, onRecord, onDeferred);
    }

private:
    template <class B, class R, class D>
    static void Walk(B& block, R& onRecord, D& onDeferred) {
        std::size_t d = 0;
        for (std::size_t i = 0; i <= block.entities.size(); ++i) {
            for (; d < block.deferred.size() && block.deferred[d].before == i; ++d)
                onDeferred(block.deferred[d]);
            if (i < block.entities.size())
                onRecord(block.entities[i]);
        }
    }
};

// A section the model does not know (THUMBNAILIMAGE, ACDSDATA ...): kept as tags.
struct OtherSection {
    std::string name;
    Tags tags;
    std::string after;  // the known section it followed ("" at the start)
};

struct Document {
    std::vector<HeaderVariable> header;
    std::vector<Record> classes;
    std::vector<SymbolTable> tables;
    std::vector<Block> blocks;
    std::vector<Record> entities;
    std::vector<Record> objects;
    std::vector<OtherSection> otherSections;
    bool hasHeader = false, hasClasses = false, hasTables = false, hasBlocks = false,
         hasEntities = false, hasObjects = false;
    // The version WriteDocument writes: it decides the layout of table entities and their
    // blocks, and whether the classes and objects sections are written (not in R12).
    DxfVersion writeVersion = kDefaultDxfVersion;

    std::string version() const;  // $ACADVER
    HeaderVariable* headerVariable(std::string_view name);
    const HeaderVariable* headerVariable(std::string_view name) const;
    SymbolTable* table(std::string_view name);

    // Source text of deferred entities.
    std::shared_ptr<const void> source;  // keeps sourceView alive
    std::string_view sourceView;
    std::vector<std::string> deferredTypes;  // the types of deferred entities, each once
    // Reads a deferred entity from the source text (comments left out).
    Record Materialize(const DeferredEntity& entity) const;
    // Calls tag(const TagView&) for each group of a deferred entity after its type, comments
    // included.
    template <class F>
    void ForEachDeferredTag(const DeferredEntity& entity, F tag) const {
        TagReader reader(sourceView);
        reader.Seek(entity.offset, entity.line + 1);
        TagView t;
        while (reader.Next(t) && t.code != 0)
            tag(t);
    }
};

struct ReadOptions {
    // Leave the entities of "*T" blocks deferred (the loader regenerates table blocks).
    bool deferTableBlocks = true;
};

// Parses DXF text (UTF-8, see DecodeDxfText). Throws DxfError naming the line for malformed
// structure: tags outside sections, a section without ENDSEC, a table without ENDTAB, a block
// without ENDBLK, extended data with unbalanced braces, a missing EOF.
// With repairs given, damage that leaves the drawing usable (unbalanced extended-data braces,
// a missing EOF) is repaired and reported there instead of refused.
Document ParseDocument(std::shared_ptr<const void> text, std::string_view view,
                       std::vector<Repair>* repairs, const ReadOptions& options = {});

// Reads a file: bytes, text decoding, parsing (repairs as for ParseDocument; decoding
// repairs such as invalid UTF-8 are always made and reported when repairs is given).
Document ReadDocumentFile(const std::string& path, std::vector<Repair>* repairs,
                          const ReadOptions& options = {});
Document ReadDocumentBytes(std::string bytes, std::vector<Repair>* repairs,
                           const ReadOptions& options = {});

// Writes the document as text DXF (UTF-8; the caller encodes it for versions before R2007).
// Table entities are written in the cell layout of writeVersion, and the blocks of tables are
// generated from the table data when Block::generatedFrom is set.
void WriteDocument(const Document& doc, TagWriter& out);

}  // namespace host::dxf
