// Makes the project's sample drawing: a table built from the Equipment table of the sample
// database by the module's own table-building code, linked through a path relative to the
// drawing ("quarvel_sample.sqlite" beside it), saved as DXF.
//
//   make_sample_drawing SAMPLE_DB OUTPUT.dxf
//
// The drawing is built as if it stood beside the database, so that the relative path resolves
// while it is filled; it is then written to OUTPUT.dxf.
#include <cstdio>
#include <filesystem>
#include <string>

#include "host/session/documents.h"
#include "host/session/drawing_io.h"
#include "host/ui/editor.h"
#include "host/ui/input_source.h"
#include "link/DbRecords.h"
#include "tables/BuildTable.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sample_drawing SAMPLE_DB OUTPUT.dxf\n");
        return 2;
    }
    const std::filesystem::path database = std::filesystem::absolute(argv[1]);
    const std::filesystem::path drawing = database.parent_path() / "equipment.dxf";

    host::InstallInteractiveSelector();
    host::StartDocuments();
    host::Document* doc = host::Documents()->Open(nullptr, drawing.string());
    RegisterConnectTemplates();

    TableLink link;
    link.m_strTableStyle = _T("Standard");
    link.m_strConnectDriver = _T("SQLite3 ODBC Driver");
    link.m_strDatabase = CString(database.filename().string().c_str());
    link.m_strTable = _T("Equipment");

    int status = 1;
    CMyDatabase db;
    CellGrid grid;
    if (db.Open(link.m_strConnectDriver, link.m_strDatabase, link.m_strUser, link.m_strPassword) &&
        db.FillGrid(link, grid)) {
        host::QueueInput input({"0,0"});
        host::ScopedInput scope(input);
        if (BuildTable(grid, link) == 1) {
            std::string error;
            if (host::SaveDrawing(*doc->database(), argv[2], error)) {
                status = 0;
            } else {
                std::fprintf(stderr, "make_sample_drawing: %s\n", error.c_str());
            }
        }
    }
    db.m_db.CloseConnection();
    FreeDatabases();
    host::StopDocuments();
    return status;
}
