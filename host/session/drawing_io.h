// Reading and writing drawing files for the session: the console host's OPEN, SAVE and SAVEAS
// and its command-line drawing argument go through these two functions. Drawings are DXF
// files: OPEN repairs what it can and reports each repair on the command line; SAVE and
// SAVEAS write DXF R2010 atomically.
#pragma once

#include <memory>
#include <string>

class AcDbDatabase;

namespace host {

// Reads the drawing file at path into a new database; null with the reason in error.
std::unique_ptr<AcDbDatabase> LoadDrawing(const std::string& path, std::string& error);

// Writes db to path; false with the reason in error. A failed save must leave an existing
// file at path as it was (write a temporary file, then rename it).
bool SaveDrawing(AcDbDatabase& db, const std::string& path, std::string& error);

}  // namespace host
