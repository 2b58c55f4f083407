// The host's entity commands: LIST, XDLIST, -TABLE, TABLEEXPORT, INSERT, ERASE, COPY, MODEL,
// LAYOUT.
#include <cmath>
#include <cstdio>
#include <memory>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/db/hostdb.h"
#include "host/dxf/atomic_file.h"
#include "host/ui/builtins.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace host {

namespace {

std::string Format(const char* format, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

std::string PointText(const AcGePoint3d& p) {
    return Format("%.4f,%.4f,%.4f", p.x, p.y, p.z);
}

std::string HandleText(AcDbObjectId id) {
    char buf[20] = "";
    id.handle().getIntoAsciiBuffer(buf);
    return buf;
}

// Closes an open object when the scope ends.
struct Closer {
    AcDbObject* object = nullptr;
    ~Closer() {
        if (object)
            object->close();
    }
};

// The objects picked at "Select objects:" (interactive selection through the host's
// selection sets). RTNORM with at least one id, or the reason already reported.
// With a type, only entities of that drawing-file type ("ACAD_TABLE") are taken.
int PickObjects(std::vector<AcDbObjectId>& ids, const char* type = nullptr) {
    ids.clear();
    ads_name ss;
    resbufA* filter = type ? acutBuildListT<char>(0, type, 0) : nullptr;
    const int rc = acedSSGet(static_cast<const char*>(nullptr), nullptr, nullptr, filter, ss);
    acutRelRbT(filter);
    if (rc != RTNORM)
        return rc;
    std::int32_t length = 0;
    acedSSLength(ss, &length);
    for (std::int32_t i = 0; i < length; ++i) {
        ads_name entity;
        AcDbObjectId id;
        if (acedSSName(ss, i, entity) == RTNORM && acdbGetObjectId(id, entity) == Acad::eOk)
            ids.push_back(id);
    }
    acedSSFree(ss);
    return ids.empty() ? RTERROR : RTNORM;
}

// The name shown for an entity's type: its drawing-file type name.
std::string TypeName(const AcDbObject* object) {
    // Entities the host keeps as they came from the file name their own kind ("LINE").
    if (const auto* raw = RawEntity::cast(object); raw && !raw->dxfName.empty())
        return raw->dxfName;
    const AcRxClass* cls = object->isA();
    if (!cls)
        return "OBJECT";
    const char* dxf = cls->dxfNameUtf8();
    return dxf && *dxf ? dxf : cls->nameUtf8();
}

std::string SpaceName(AcDbEntity* entity) {
    AcDbDatabase* db = entity->database();
    const AcDbObjectId block = entity->blockId();
    if (db && block == db->modelSpaceId())
        return "Model space";
    if (db && block == db->paperSpaceId())
        return "Paper space";
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, block, AcDb::kForRead) != Acad::eOk)
        return "block";
    const std::string name = "block " + std::string(record->nameA().GetString());
    record->close();
    return name;
}

std::string BlockName(AcDbObjectId block) {
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, block, AcDb::kForRead) != Acad::eOk)
        return "?";
    const std::string name = record->nameA().GetString();
    record->close();
    return name;
}

// ---- LIST --------------------------------------------------------------------------------

void ListEntity(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk)
        return;
    Closer closer{entity};
    CommandLineWrite("\n" + TypeName(entity) + "  Handle: " + HandleText(id) + "  Space: " +
                     SpaceName(entity) + "  Layer: " + std::string(entity->layerA().GetString()));
    if (const AcDbTable* table = AcDbTable::cast(entity)) {
        CommandLineWrite(
            Format("\n  Rows: %u  Columns: %u", table->numRows(), table->numColumns()));
        CommandLineWrite("\n  Position: " + PointText(table->position()));
        CommandLineWrite(Format("\n  Width: %.4f  Height: %.4f", table->width(), table->height()));
    } else if (const AcDbBlockReference* ref = AcDbBlockReference::cast(entity)) {
        CommandLineWrite("\n  Block: " + BlockName(ref->blockTableRecord()));
        CommandLineWrite("\n  Position: " + PointText(ref->position()));
    }
}

void CmdList() {
    std::vector<AcDbObjectId> ids;
    const int rc = PickObjects(ids);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("LIST: nothing selected");
        return;
    }
    for (const AcDbObjectId& id : ids)
        ListEntity(id);
}

// ---- XDLIST ------------------------------------------------------------------------------

std::string ValueText(const resbufA* rb) {
    switch (acutValueKindOf(rb->restype)) {
        case AcutValueKind::Text:
            return rb->resval.rstring ? rb->resval.rstring : "";
        case AcutValueKind::Real:
            return Format("%.10g", rb->resval.rreal);
        case AcutValueKind::Point:
            return Format("%.10g,%.10g,%.10g", rb->resval.rpoint[0], rb->resval.rpoint[1],
                          rb->resval.rpoint[2]);
        case AcutValueKind::Short:
            return std::to_string(rb->resval.rint);
        case AcutValueKind::Long:
            return std::to_string(rb->resval.rlong);
        case AcutValueKind::Int64:
            return std::to_string(rb->resval.mnInt64);
        case AcutValueKind::Binary: {
            std::string hex;
            for (short i = 0; i < rb->resval.rbinary.clen; ++i)
                hex += Format("%02X", static_cast<unsigned char>(rb->resval.rbinary.buf[i]));
            return hex;
        }
        default:
            return "";
    }
}

void ListXData(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk)
        return;
    resbufA* chain = entity->xData(static_cast<const char*>(nullptr));
    CommandLineWrite("\nExtended data of " + TypeName(entity) + " " + HandleText(id) + ":");
    entity->close();
    if (!chain) {
        CommandLineWrite("\n  none");
        return;
    }
    for (const resbufA* rb = chain; rb; rb = rb->rbnext)
        CommandLineWrite(Format("\n  %4d  ", rb->restype) + ValueText(rb));
    acutRelRbT(chain);
}

void CmdXdList() {
    std::vector<AcDbObjectId> ids;
    const int rc = PickObjects(ids);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("XDLIST: nothing selected");
        return;
    }
    for (const AcDbObjectId& id : ids)
        ListXData(id);
}

// ---- -TABLE ------------------------------------------------------------------------------

constexpr double kDefaultColumnWidth = 20.0;

void CmdTable() {
    AcDbDatabase* db = WorkingDatabase();
    int columns = 0, rows = 0;
    int rc = GetInteger("\nEnter number of columns <5>: ", 5, 1, columns);
    if (rc == RTNORM)
        rc = GetInteger("\nEnter number of rows <1>: ", 1, 1, rows);
    AcGePoint3d position;
    if (rc == RTNORM) {
        rc = GetPoint("\nSpecify insertion point: ", position);
        if (rc == RTNONE) {
            ReportError("-TABLE: an insertion point is needed");
            return;
        }
    }
    if (rc != RTNORM)
        return;
    // Refused before anything is made: the drawing database's limit, not the memory left.
    if (static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns) > kMaxTableCells) {
        ReportError(Format("-TABLE: %d x %d cells is too large; a table holds at most %zu cells",
                           rows, columns, kMaxTableCells));
        return;
    }

    // Row height from the Standard style: the data text and a margin above and below.
    double rowHeight = 2.5 + 2 * 0.6;
    AcDbObjectId styleId = db->tablestyle();
    AcDbDictionary* styles = nullptr;
    if (db->getTableStyleDictionary(styles, AcDb::kForRead) == Acad::eOk) {
        AcDbObjectId standard;
        if (styles->getAt("Standard", standard) == Acad::eOk)
            styleId = standard;
        styles->close();
    }
    AcDbTableStyle* style = nullptr;
    if (acdbOpenObject(style, styleId, AcDb::kForRead) == Acad::eOk) {
        rowHeight = style->textHeight(AcDb::kDataRow) + 2 * style->vertCellMargin();
        style->close();
    }

    auto table = std::make_unique<AcDbTable>();
    table->setTableStyle(styleId);
    if (table->setNumColumns(columns) != Acad::eOk || table->setNumRows(rows) != Acad::eOk) {
        ReportError("-TABLE: the table cannot have that many cells");
        return;
    }
    for (int c = 0; c < columns; ++c)
        table->setColumnWidth(c, kDefaultColumnWidth);
    for (int r = 0; r < rows; ++r)
        table->setRowHeight(r, rowHeight);
    if (table->setPosition(position) != Acad::eOk) {
        ReportError("-TABLE: the insertion point is beyond the range of coordinates");
        return;
    }

    AcDbBlockTableRecord* space = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(space, db->currentSpaceId(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        ReportError("-TABLE: the current space cannot be opened");
        return;
    }
    AcDbObjectId id;
    es = space->appendAcDbEntity(id, table.get());
    space->close();
    if (es != Acad::eOk) {
        ReportError("-TABLE: the table could not be added to the drawing");
        return;
    }
    AcDbTable* added = table.release();
    added->recomputeTableBlock(true);
    added->close();
}

// ---- TABLEEXPORT -------------------------------------------------------------------------

// One CSV field: quoted when it holds a comma, a quote or a line break; quotes doubled.
std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

void CmdTableExport() {
    std::vector<AcDbObjectId> ids;
    int rc = PickObjects(ids, "ACAD_TABLE");
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("TABLEEXPORT: no table selected");
        return;
    }
    if (ids.size() > 1) {
        ReportError(
            Format("TABLEEXPORT: %d tables selected; select one", static_cast<int>(ids.size())));
        return;
    }
    AcDbTable* table = nullptr;
    if (acdbOpenObject(table, ids.front(), AcDb::kForRead) != Acad::eOk) {
        ReportError("TABLEEXPORT: the table cannot be read");
        return;
    }
    std::vector<std::string> lines;
    for (std::uint32_t r = 0; r < table->numRows(); ++r) {
        std::string line;
        for (std::uint32_t c = 0; c < table->numColumns(); ++c) {
            if (c)
                line += ',';
            line += CsvField(table->textStringA(r, c).GetString());
        }
        lines.push_back(std::move(line));
    }
    table->close();

    std::string target;
    rc = GetText("\nExport to file (- for standard output): ", target);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("TABLEEXPORT: no file name given");
        return;
    }
    if (target == "-") {
        for (const std::string& line : lines)
            CommandLineWrite("\n" + line);
        return;
    }
    // Replaced atomically (a failed export leaves an existing file untouched); a device or
    // FIFO (/dev/stdout, a pipe) is written into straight.
    std::string error;
    dxf::SaveTarget how;
    how.streams = true;
    how.verb = "write";
    const bool written = dxf::SaveFileAtomically(
        target,
        [&](const dxf::ByteSink& sink) {
            for (const std::string& line : lines) {
                sink(line);
                sink("\r\n");
            }
        },
        error, how);
    if (!written) {
        ReportError("TABLEEXPORT: " + error);
        return;
    }
    CommandLineWrite(Format("\n%d rows written to ", static_cast<int>(lines.size())) + target);
}

// ---- TABLEEDIT ---------------------------------------------------------------------------

void CmdTableEdit() {
    AcDbObjectId id;
    AcGePoint3d picked;
    int rc = GetEntity("\nSelect table cell: ", id, picked);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("TABLEEDIT: nothing selected");
        return;
    }
    AcDbTable* table = nullptr;
    if (acdbOpenObject(table, id, AcDb::kForRead) != Acad::eOk) {
        ReportError("TABLEEDIT: the selected entity is not a table");
        return;
    }
    int row = -1, column = -1;
    const bool hit =
        table->hitTest(picked, AcGeVector3d::kZAxis, PickAperture(), PickAperture(), row, column);
    table->close();
    if (!hit) {
        ReportError("TABLEEDIT: the point is not on a cell of the table");
        return;
    }
    std::string text;
    rc = GetText(Format("\nEnter text of cell (%d,%d): ", row, column), text);
    if (rc == RTCAN)
        return;
    if (acdbOpenObject(table, id, AcDb::kForWrite) != Acad::eOk) {
        ReportError("TABLEEDIT: the table cannot be changed");
        return;
    }
    const Acad::ErrorStatus es = table->setTextString(row, column, text.c_str());
    if (es == Acad::eOk)
        table->recomputeTableBlock(true);
    table->close();
    if (es != Acad::eOk)
        ReportError("TABLEEDIT: the cell text was refused");
}

// ---- ERASE, COPY -------------------------------------------------------------------------

void CmdErase() {
    std::vector<AcDbObjectId> ids;
    const int rc = PickObjects(ids);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("ERASE: nothing selected");
        return;
    }
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk)
            continue;
        entity->erase();
        entity->close();
    }
}

void CmdCopy() {
    std::vector<AcDbObjectId> ids;
    int rc = PickObjects(ids);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("COPY: nothing selected");
        return;
    }
    AcGePoint3d base, second;
    rc = GetPoint("\nSpecify base point: ", base);
    if (rc == RTNONE)
        rc = RTERROR;
    if (rc == RTNORM) {
        rc = GetPoint("\nSpecify second point <use first point as displacement>: ", second);
        if (rc == RTNONE) {
            second = AcGePoint3d(base.x * 2, base.y * 2, base.z * 2);
            rc = RTNORM;
        }
    }
    if (rc != RTNORM) {
        if (rc != RTCAN)
            ReportError("COPY: a base point and a second point are needed");
        return;
    }
    const AcGeVector3d displacement = second - base;
    if (!std::isfinite(displacement.x) || !std::isfinite(displacement.y) ||
        !std::isfinite(displacement.z)) {
        ReportError("COPY: the displacement is beyond the range of coordinates");
        return;
    }
    const AcGeMatrix3d move = AcGeMatrix3d::translation(displacement);
    int copied = 0, outOfRange = 0;
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* original = nullptr;
        if (acdbOpenAcDbEntity(original, id, AcDb::kForRead) != Acad::eOk)
            continue;
        std::unique_ptr<AcDbEntity> copy(AcDbEntity::cast(original->clone()));
        const AcDbObjectId owner = original->blockId();
        original->close();
        if (!copy)
            continue;
        if (copy->transformBy(move) != Acad::eOk) {
            ++outOfRange;  // the copy would lie beyond the range of coordinates
            continue;
        }
        AcDbBlockTableRecord* block = nullptr;
        if (acdbOpenObject(block, owner, AcDb::kForWrite) != Acad::eOk)
            continue;
        AcDbObjectId newId;
        const Acad::ErrorStatus es = block->appendAcDbEntity(newId, copy.get());
        block->close();
        if (es == Acad::eOk) {
            copy.release()->close();
            ++copied;
        }
    }
    if (outOfRange)
        ReportError(
            Format("COPY: %d of %d objects would lie beyond the range of coordinates; "
                   "they were not copied",
                   outOfRange, static_cast<int>(ids.size())));
    else if (copied != static_cast<int>(ids.size()))
        ReportError(Format("COPY: %d of %d objects could not be copied",
                           static_cast<int>(ids.size()) - copied, static_cast<int>(ids.size())));
}

// ---- INSERT ------------------------------------------------------------------------------

void CmdInsert() {
    AcDbDatabase* db = WorkingDatabase();
    std::string name;
    int rc = GetText("\nEnter block name: ", name);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("INSERT: a block name is needed");
        return;
    }
    AcGePoint3d position;
    rc = GetPoint("\nSpecify insertion point: ", position);
    if (rc == RTCAN)
        return;
    if (rc != RTNORM) {
        ReportError("INSERT: an insertion point is needed");
        return;
    }
    AcDbObjectId block = FindBlock(db, name);
    if (block.isNull()) {
        // A new, empty block definition of that name.
        auto definition = std::make_unique<AcDbBlockTableRecord>();
        if (name.front() == '*' || definition->setName(name.c_str()) != Acad::eOk ||
            AddBlock(db, definition.get(), AcDbHandle(), &block) != Acad::eOk) {
            ReportError("INSERT: cannot make a block named \"" + name + "\"");
            return;
        }
        definition.release();
    } else if (block == db->modelSpaceId() || block == db->paperSpaceId()) {
        ReportError("INSERT: \"" + name + "\" is a drawing space, not a block");
        return;
    }
    auto ref = std::make_unique<AcDbBlockReference>(position, block);
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, db->currentSpaceId(), AcDb::kForWrite) != Acad::eOk) {
        ReportError("INSERT: the current space cannot be opened");
        return;
    }
    AcDbObjectId id;
    const Acad::ErrorStatus es = space->appendAcDbEntity(id, ref.get());
    space->close();
    if (es != Acad::eOk) {
        ReportError("INSERT: the block reference could not be added");
        return;
    }
    ref.release()->close();
}

// ---- MODEL, LAYOUT -----------------------------------------------------------------------

void SwitchSpace(bool model) {
    AcDbDatabase* db = WorkingDatabase();
    const AcDbObjectId target = model ? db->modelSpaceId() : db->paperSpaceId();
    if (db->setCurrentSpace(target) != Acad::eOk) {
        ReportError("cannot switch to the drawing's " + std::string(model ? "model" : "paper") +
                    " space");
        return;
    }
    CommandLineWrite(model ? "\nModel space is current." : "\nLayout (paper space) is current.");
}

void CmdModel() {
    SwitchSpace(true);
}
void CmdLayout() {
    SwitchSpace(false);
}

}  // namespace

void AddEntityBuiltins(std::vector<Builtin>& list) {
    list.insert(
        list.end(),
        {
            {"LIST", CmdList, "lists the type, handle and space of selected entities"},
            {"XDLIST", CmdXdList, "lists every extended-data group of an entity"},
            {"-TABLE", CmdTable, "makes an empty table in the Standard style"},
            {"TABLEEDIT", CmdTableEdit, "sets the text of the table cell at a picked point"},
            {"TABLEEXPORT", CmdTableExport, "writes a table's cells as CSV to a file or -"},
            {"INSERT", CmdInsert, "inserts a block reference (an empty block is made if needed)"},
            {"ERASE", CmdErase, "erases selected entities"},
            {"COPY", CmdCopy, "copies selected entities with their extended data"},
            {"MODEL", CmdModel, "makes model space current"},
            {"LAYOUT", CmdLayout, "makes the paper-space layout current"},
        });
}

}  // namespace host
