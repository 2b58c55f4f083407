// A fresh drawing as the host's working database, for module tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/arxHeaders.h"

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new table of rows x columns in the current space, its cells "r,c"; left closed.
    AcDbObjectId MakeTable(int rows, int columns, const AcGePoint3d& position = AcGePoint3d());
    // The texts of one table row.
    std::vector<CString> RowTexts(AcDbObjectId tableId, int row);

    AcDbDatabase* m_db = nullptr;  // the current document's drawing
    std::string m_output;          // what was printed on the command line
};

// Text of the build's width from UTF-8.
inline CString Txt(const char* utf8) {
    return CString(qv::ConvertText<TCHAR>(std::string_view(utf8)));
}
