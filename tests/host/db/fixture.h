// A drawing database made current for one test, and small helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "host/db/hostdb.h"
#include "platform/acutads.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

// Ids print as their handles in test failures.
inline void PrintTo(const AcDbObjectId& id, std::ostream* os) {
    char buf[17];
    id.handle().getIntoAsciiBuffer(buf);
    *os << "#" << buf;
}

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = std::make_unique<AcDbDatabase>();
        host::SetWorkingDatabase(db.get());
    }
    void TearDown() override {
        host::SetWorkingDatabase(nullptr);
        db.reset();
    }

    // Appends an entity to a block (model space by default) and closes it.
    AcDbObjectId Append(AcDbEntity* ent, AcDbObjectId block = AcDbObjectId()) {
        if (block.isNull())
            block = db->modelSpaceId();
        AcDbBlockTableRecord* btr = nullptr;
        EXPECT_EQ(acdbOpenObject(btr, block, AcDb::kForWrite), Acad::eOk);
        AcDbObjectId id;
        EXPECT_EQ(btr->appendAcDbEntity(id, ent), Acad::eOk);
        ent->close();
        btr->close();
        return id;
    }

    // A table of the given size at a position, columns 10 wide and rows 4 high.
    AcDbObjectId AddTable(int rows, int columns, AcGePoint3d at = AcGePoint3d(),
                          AcDbObjectId block = AcDbObjectId()) {
        auto* t = new AcDbTable;
        t->setTableStyle(db->tablestyle());
        t->setNumRows(rows);
        t->setNumColumns(columns);
        for (int r = 0; r < rows; ++r)
            t->setRowHeight(r, 4);
        t->setColumnWidth(10);
        t->setPosition(at);
        return Append(t, block);
    }

    AcDbObjectId AddInsert(AcGePoint3d at, AcDbObjectId block = AcDbObjectId()) {
        if (blockDef.isNull()) {
            auto* def = new AcDbBlockTableRecord;
            def->setName("MARK");
            EXPECT_EQ(host::AddBlock(db.get(), def, AcDbHandle(), &blockDef), Acad::eOk);
        }
        return Append(new AcDbBlockReference(at, blockDef), block);
    }

    // Registers the applications and sets a (1001 app)(1000 text) chain on an entity.
    void Tag(AcDbObjectId id, const char* app, const char* text = "x") {
        ASSERT_EQ(acdbRegApp(app), RTNORM);
        AcDbObject* obj = nullptr;
        ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForWrite), Acad::eOk);
        resbufA* rb = acutBuildListT<char>(1001, app, 1000, text, 0);
        EXPECT_EQ(obj->setXData(rb), Acad::eOk);
        acutRelRbT(rb);
        obj->close();
    }

    std::unique_ptr<AcDbDatabase> db;
    AcDbObjectId blockDef;
};
