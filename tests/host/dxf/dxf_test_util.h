// Helpers of the DXF tests: temporary folders, files, building drawings through the host API
// and running the independent checker (ezdxf) on saved files.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "platform/acutads.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace dxftest {

inline std::string TempDir() {
    char tmpl[] = "/tmp/dxftest.XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Runs a command; returns its exit status and puts its output in out.
inline int RunCommand(const std::string& command, std::string* out = nullptr) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    const int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool HaveEzdxf() {
    static const bool have =
        RunCommand(std::string(QUARVEL_PYTHON) + " -c 'import ezdxf, matplotlib'") == 0;
    return have;
}

inline std::string Checker() {
    return std::string(QUARVEL_PYTHON) + " " + QUARVEL_DXF_SCRIPTS + "/check_dxf.py ";
}

// The sample drawings written by ezdxf (made once per test run).
inline std::string SampleDir() {
    static const std::string dir = [] {
        std::string d = TempDir() + "/samples";
        RunCommand(std::string(QUARVEL_PYTHON) + " " + QUARVEL_DXF_SCRIPTS + "/make_samples.py " +
                   d);
        return d;
    }();
    return dir;
}

// Adds a table to model space; returns its id.
inline AcDbObjectId AddTable(AcDbDatabase& db, int rows, int columns,
                             const std::vector<std::string>& texts, AcGePoint3d position) {
    AcDbBlockTableRecord* ms = nullptr;
    acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite);
    auto* t = new AcDbTable();
    t->setTableStyle(db.tablestyle());
    t->setNumRows(rows);
    t->setNumColumns(columns);
    for (int r = 0; r < rows; ++r)
        t->setRowHeight(r, 7.5);
    for (int c = 0; c < columns; ++c)
        t->setColumnWidth(c, 25 + 5 * c);
    for (std::size_t i = 0; i < texts.size() && i < static_cast<std::size_t>(rows * columns); ++i) {
        t->setTextString(static_cast<int>(i) / columns, static_cast<int>(i) % columns,
                         texts[i].c_str());
    }
    t->setPosition(position);
    AcDbObjectId id;
    ms->appendAcDbEntity(id, t);
    t->close();
    ms->close();
    return id;
}

inline Acad::ErrorStatus SetXData(AcDbDatabase& db, AcDbObjectId id, resbufA* chain) {
    AcDbObject* obj = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, AcDb::kForWrite);
    if (es == Acad::eOk) {
        for (resbufA* rb = chain; rb; rb = rb->rbnext) {
            if (rb->restype == 1001)
                db.registerApp(rb->resval.rstring);
        }
        es = obj->setXData(chain);
        obj->close();
    }
    acutRelRbT(chain);
    return es;
}

}  // namespace dxftest
