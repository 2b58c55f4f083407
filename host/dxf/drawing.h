// Drawings as DXF files: the mapping between the DXF document model and the drawing database,
// and loading and saving files.
//
// What the database models (blocks, block references, tables, table styles, dictionaries,
// registered applications, extended data) is built from the file; everything else is kept in
// the database verbatim (raw objects and entities, and the groups modelled objects do not
// interpret, in ObjectState::extraGroups) with its handle, and written back.
//
// How the kept groups are stored is told in record_groups.h; a damaged file is recovered only
// when the caller asks for the list of repairs (see repair.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/dxf/document.h"
#include "host/dxf/repair.h"
#include "host/dxf/version.h"

class AcDbDatabase;

namespace host::dxf {

// Builds a database from a document. Throws DxfError for a problem; with repairs given,
// damage that leaves the drawing usable (duplicate handles, dangling owners and dictionary
// entries, unregistered applications, missing sections ...) is repaired and each repair is
// added to repairs instead. The cells of the document's table entities move into the
// database (the document is used up).
std::unique_ptr<AcDbDatabase> DatabaseFromDocument(Document& doc, std::vector<Repair>* repairs);

// Builds the document that saving db in a DXF version writes. Adds to db what a complete
// drawing file needs and db lacks (symbol tables, layouts, table blocks, handles for block
// begin and end entities), so that saving again writes the same file. What the version cannot
// hold is changed or left out and told in report (see SaveReport).
Document DocumentFromDatabase(AcDbDatabase& db, DxfVersion version = kDefaultDxfVersion,
                              SaveReport* report = nullptr);

// Reads a DXF file into a new database; null with the reason (naming the line) in error.
// Strict unless repairs is given (see DatabaseFromDocument).
std::unique_ptr<AcDbDatabase> LoadDxf(const std::string& path, std::string& error,
                                      std::vector<Repair>* repairs);
std::unique_ptr<AcDbDatabase> LoadDxfBytes(std::string bytes, std::string& error,
                                           std::vector<Repair>* repairs);

// Writes db as DXF of a version (R2010 unless given) to path, atomically: a temporary file in
// the same folder, flushed to disk, then renamed over path. False with the reason in error;
// path is then untouched. Versions before R2007 are written as ASCII with \U+XXXX escapes.
bool SaveDxf(AcDbDatabase& db, const std::string& path, std::string& error,
             DxfVersion version = kDefaultDxfVersion, SaveReport* report = nullptr);
// Writes db as DXF text into out.
void WriteDxf(AcDbDatabase& db, std::string& out, DxfVersion version = kDefaultDxfVersion,
              SaveReport* report = nullptr);
// The version of the file a database was read from ("AC1015"; empty for a new drawing).
std::string FileAcadVer(AcDbDatabase& db);

}  // namespace host::dxf
