// Writing a DXF document: sections in order, records as kept, table entities and the
// anonymous blocks of tables generated from their tables (see table_entity.h).
#include "host/dxf/document.h"
#include "host/dxf/table_entity.h"

namespace host::dxf {

namespace {

void WriteRecord(const Document& doc, const Record& rec, TagWriter& out) {
    if (rec.deferred) {
        // Written straight from the source text.
        out.Write(rec.tags.front());
        TagReader reader(doc.sourceView);
        reader.Seek(rec.srcOffset, rec.srcLine);
        TagView t;
        while (reader.Next(t)) {
            if (t.code == 0)
                break;
            if (t.code != 999)
                out.Raw(t.code, t.value);
        }
        return;
    }
    if (rec.table) {
        WriteTableEntity(rec, out);
        return;
    }
    for (const Tag& t : rec.tags)
        out.Write(t);
}

}  // namespace

void WriteDocument(const Document& doc, TagWriter& out) {
    // Sections the model does not know go back, in their order, after the known section they
    // followed.
    auto others = [&](const std::string& after) {
        for (const auto& s : doc.otherSections) {
            if (s.after != after)
                continue;
            out.Raw(0, "SECTION");
            out.Str(2, s.name);
            for (const Tag& t : s.tags)
                out.Write(t);
            out.Raw(0, "ENDSEC");
        }
    };
    others("");
    out.Raw(0, "SECTION");
    out.Raw(2, "HEADER");
    for (const auto& v : doc.header) {
        out.Str(9, v.name);
        for (const Tag& t : v.values)
            out.Write(t);
    }
    out.Raw(0, "ENDSEC");
    others("HEADER");

    out.Raw(0, "SECTION");
    out.Raw(2, "CLASSES");
    for (const auto& r : doc.classes)
        WriteRecord(doc, r, out);
    out.Raw(0, "ENDSEC");
    others("CLASSES");

    out.Raw(0, "SECTION");
    out.Raw(2, "TABLES");
    for (const auto& table : doc.tables) {
        WriteRecord(doc, table.head, out);
        for (const auto& e : table.entries)
            WriteRecord(doc, e, out);
        out.Raw(0, "ENDTAB");
    }
    out.Raw(0, "ENDSEC");
    others("TABLES");

    out.Raw(0, "SECTION");
    out.Raw(2, "BLOCKS");
    for (const auto& block : doc.blocks) {
        WriteRecord(doc, block.begin, out);
        if (block.generatedFrom) {
            WriteTableBlockEntities(*block.generatedFrom, block.begin.owner(), block.generatedLayer,
                                    block.generatedHandles, out);
        } else {
            for (const auto& e : block.entities)
                WriteRecord(doc, e, out);
        }
        WriteRecord(doc, block.end, out);
    }
    out.Raw(0, "ENDSEC");
    others("BLOCKS");

    out.Raw(0, "SECTION");
    out.Raw(2, "ENTITIES");
    for (const auto& e : doc.entities)
        WriteRecord(doc, e, out);
    out.Raw(0, "ENDSEC");
    others("ENTITIES");

    out.Raw(0, "SECTION");
    out.Raw(2, "OBJECTS");
    for (const auto& o : doc.objects)
        WriteRecord(doc, o, out);
    out.Raw(0, "ENDSEC");
    others("OBJECTS");
    out.Raw(0, "EOF");
    out.Flush();
}

}  // namespace host::dxf
