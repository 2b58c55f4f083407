// Reading and writing drawing files. The console host's OPEN, SAVE and SAVEAS and its
// command-line drawing argument go through these two functions; the drawing-file format
// provides them. Until a format is built in, the fallback definitions (weak symbols in
// drawing_io.cpp) refuse with a clear message, and a format's own definitions replace them at
// link time without any change here.
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
