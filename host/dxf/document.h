// DXF model level: a drawing file as sections of records, independent of the drawing
// database.
//
// A record is one entity, object, symbol-table entry, class, block begin or end, kept as its
// tags. Table entities (ACAD_TABLE) are parsed into TableData (see table_entity.h), since they
// can hold millions of cells; the entities of their anonymous "*T" blocks are kept only as
// places in the source text until it is known whether a table owns the block (then they are
// regenerated from the table on save) or not (then they are read as ordinary records).
#pragma once

#include <cstdint>
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
    // A record not read yet: its place in the source text (see Document::Materialize).
    std::size_t srcOffset = 0, srcLine = 0;
    bool deferred = false;
    std::uint64_t deferredHandle = 0;

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

struct Block {
    Record begin;  // (0 BLOCK)
    std::vector<Record> entities;
    Record end;  // (0 ENDBLK)
    std::string name() const { return begin.value(2); }
    // Set when the block shows a table: its entities are generated from the table on
    // writing, with these handles in order (see CountTableBlockEntities), on this layer.
    std::shared_ptr<const TableData> generatedFrom;
    std::vector<std::uint64_t> generatedHandles;
    std::string generatedLayer = "0";
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

    // Source text of deferred records.
    std::shared_ptr<const void> source;  // keeps sourceView alive
    std::string_view sourceView;
    // Reads a deferred record from the source text.
    void Materialize(Record& record) const;
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
