// Reading and writing drawing files for the session: the console host's OPEN, SAVE and SAVEAS
// and its command-line drawing argument go through these two functions. Drawings are DXF
// files: OPEN repairs what it can and reports each repair on the command line; SAVE and
// SAVEAS write DXF atomically, R2010 unless another version is chosen.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/dxf/version.h"

class AcDbDatabase;

namespace host {

// Reads the drawing file at path into a new database; null with the reason in error.
std::unique_ptr<AcDbDatabase> LoadDrawing(const std::string& path, std::string& error);

// Writes db to path in a DXF version; false with the reason in error. A failed save must
// leave an existing file at path as it was (write a temporary file, then rename it). After a
// save, notes (when given) tell what the version could not hold: tables written as block
// references, what was left out.
bool SaveDrawing(AcDbDatabase& db, const std::string& path, std::string& error,
                 dxf::DxfVersion version = dxf::kDefaultDxfVersion,
                 std::vector<std::string>* notes = nullptr);

// The format of the file a drawing was read from, for messages: "DXF R2010", "DXF R14";
// "DXF" with the $ACADVER value for one no release uses, "DXF without a version" when the
// file (or a new drawing) has none.
std::string DrawingFileFormat(AcDbDatabase& db);

// One line for each block reference of a table's anonymous block ("*T1") that carries
// extended data: a table saved in a version without table entities (R12, R2000), whose link
// the module cannot refresh since there is no table.
std::vector<std::string> FormerTableNotes(AcDbDatabase& db);

}  // namespace host
