#include "module_fixture.h"

#include <unistd.h>

#include <cstdlib>

#include "host/base/command_line.h"
#include "host/session/documents.h"
#include "host/ui/editor.h"

void DrawingTest::SetUp() {
    // The per-user settings of a test live in a folder of its own.
    const std::string config =
        std::string(testing::TempDir()) + "quarvel_config_" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    host::SetCommandLineCapture(&m_output);
    host::InstallInteractiveSelector();
    host::StartDocuments();
    m_db = host::Documents()->Open()->database();
}

void DrawingTest::TearDown() {
    host::StopDocuments();
    host::SetCommandLineCapture(nullptr);
    m_db = nullptr;
}

AcDbObjectId DrawingTest::MakeTable(int rows, int columns, const AcGePoint3d& position) {
    auto* table = new AcDbTable;
    table->setTableStyle(m_db->tablestyle());
    table->setNumRows(rows);
    table->setNumColumns(columns);
    table->setPosition(position);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            CString text;
            text.Format(_T("%d,%d"), r, c);
            table->setTextString(r, c, text);
        }
    }
    AcDbBlockTableRecord* space = nullptr;
    EXPECT_EQ(acdbOpenObject(space, m_db->currentSpaceId(), AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(space->appendAcDbEntity(id, table), Acad::eOk);
    space->close();
    table->close();
    return id;
}

std::vector<CString> DrawingTest::RowTexts(AcDbObjectId tableId, int row) {
    std::vector<CString> texts;
    AcDbTable* table = nullptr;
    if (acdbOpenObject(table, tableId, AcDb::kForRead) != Acad::eOk)
        return texts;
    for (unsigned c = 0; c < table->numColumns(); ++c)
        texts.push_back(table->textString(row, c));
    table->close();
    return texts;
}
