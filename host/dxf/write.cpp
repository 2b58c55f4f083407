// Writing a DXF document: sections in order, records as kept, table entities and the
// anonymous blocks of tables generated from their tables (see table_entity.h).
#include "host/dxf/document.h"
#include "host/dxf/table_entity.h"

namespace host::dxf {

namespace {

// A deferred entity is written straight from the source text.
void WriteDeferred(const Document& doc, const DeferredEntity& entity, TagWriter& out) {
    out.Write(Tag{0, doc.deferredTypes[entity.type]});
    doc.ForEachDeferredTag(entity, [&](const TagView& t) {
        if (t.code != 999)
            out.Raw(t.code, t.value);
    });
}

void WriteRecord(const Document& doc, const Record& rec, TagWriter& out) {
    if (rec.table) {
        WriteTableEntity(rec, out, doc.writeVersion);
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
    // A known section: its name, what body writes, its end, and the unknown ones after it.
    auto section = [&](const char* name, const auto& body) {
        out.Raw(0, "SECTION");
        out.Raw(2, name);
        body();
        out.Raw(0, "ENDSEC");
        others(name);
    };
    auto records = [&](const std::vector<Record>& list) {
        for (const auto& r : list)
            WriteRecord(doc, r, out);
    };
    others("");
    section("HEADER", [&] {
        for (const auto& v : doc.header) {
            out.Str(9, v.name);
            for (const Tag& t : v.values)
                out.Write(t);
        }
    });
    // R12 has neither classes nor objects.
    const bool r12 = doc.writeVersion == DxfVersion::kR12;
    if (!r12)
        section("CLASSES", [&] { records(doc.classes); });
    section("TABLES", [&] {
        for (const auto& table : doc.tables) {
            WriteRecord(doc, table.head, out);
            records(table.entries);
            out.Raw(0, "ENDTAB");
        }
    });
    section("BLOCKS", [&] {
        for (const auto& block : doc.blocks) {
            WriteRecord(doc, block.begin, out);
            if (block.generatedFrom) {
                WriteTableBlockEntities(*block.generatedFrom, block.begin.owner(),
                                        block.generatedLayer, block.generatedHandles, out,
                                        doc.writeVersion);
            } else {
                block.ForEachEntity([&](const Record& r) { WriteRecord(doc, r, out); },
                                    [&](const DeferredEntity& e) { WriteDeferred(doc, e, out); });
            }
            WriteRecord(doc, block.end, out);
        }
    });
    section("ENTITIES", [&] { records(doc.entities); });
    if (!r12)
        section("OBJECTS", [&] { records(doc.objects); });
    out.Raw(0, "EOF");
    out.Flush();
}

}  // namespace host::dxf
