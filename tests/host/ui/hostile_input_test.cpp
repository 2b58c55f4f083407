// What a user or a drawing from a stranger may throw at the host: saving onto links, devices,
// FIFOs and write-protected files, paths naming FIFOs, sizes and coordinates beyond what a
// drawing holds, signals during a save, scripts that end too soon.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../host_test.h"
#include "host/base/interrupt.h"
#include "host/db/hostdb.h"
#include "host/dxf/atomic_file.h"
#include "host/dxf/tags.h"
#include "host/session/drawing_io.h"
#include "platform/accmd.h"
#include "platform/acdocman.h"
#include "platform/acutads.h"
#include "platform/afx.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh folder per test.
std::string Folder() {
    const std::string dir = testing::TempDir() + "hostile_" +
                            testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The names in a folder (a temporary file left behind shows here).
std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Save(const std::string& path, const std::string& text, std::string& error,
          host::dxf::SaveTarget target = {}) {
    return host::dxf::SaveFileAtomically(
        path, [&](const host::dxf::ByteSink& sink) { sink(text); }, error, target);
}

// ---- Saving onto what is not a plain file --------------------------------------------------

TEST(SavingFiles, ASymbolicLinkIsWrittenThroughAndStays) {
    const std::string dir = Folder();
    fs::create_directories(dir + "/real");
    WriteText(dir + "/real/plan.dxf", "old");
    fs::create_symlink("real/plan.dxf", dir + "/plan.dxf");
    fs::create_symlink("nowhere.dxf", dir + "/dangling.dxf");
    std::string error;
    ASSERT_TRUE(Save(dir + "/plan.dxf", "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir + "/plan.dxf"));
    EXPECT_EQ(ReadAll(dir + "/real/plan.dxf"), "new");
    EXPECT_EQ(Names(dir + "/real"), std::vector<std::string>{"plan.dxf"});
    // A link to a file not made yet makes that file.
    ASSERT_TRUE(Save(dir + "/dangling.dxf", "made", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir + "/dangling.dxf"));
    EXPECT_EQ(ReadAll(dir + "/nowhere.dxf"), "made");
}

TEST(SavingFiles, WhatIsNotAPlainFileIsNeverReplaced) {
    const std::string dir = Folder();
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0644), 0);
    fs::create_directories(dir + "/folder");
    struct Case {
        std::string path;
        std::string why;
    };
    for (const Case& c : {Case{dir + "/pipe", "it is a FIFO, not a file"},
                          Case{dir + "/folder", "it is a folder"}}) {
        std::string error;
        EXPECT_FALSE(Save(c.path, "x", error)) << c.path;
        EXPECT_EQ(error, "cannot save " + c.path + ": " + c.why);
    }
    EXPECT_TRUE(fs::is_fifo(dir + "/pipe"));
    EXPECT_TRUE(fs::is_directory(dir + "/folder"));
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"folder", "pipe"}));
}

TEST(SavingFiles, AStreamTargetIsWrittenIntoStraight) {
    const std::string dir = Folder();
    const std::string pipe = dir + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    host::dxf::SaveTarget streams;
    streams.streams = true;
    std::string error;
    // Nobody reads: an error at once, not a hang.
    EXPECT_FALSE(Save(pipe, "x", error, streams));
    EXPECT_EQ(error, "cannot save " + pipe + ": no program reads from the FIFO");

    std::string received;
    std::thread reader([&] { received = ReadAll(pipe); });
    // The reader opens the FIFO some time after the thread starts.
    bool saved = false;
    for (int i = 0; i < 500 && !saved; ++i) {
        saved = Save(pipe, "a,b\r\n", error, streams);
        if (!saved)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_TRUE(saved) << error;
    EXPECT_EQ(received, "a,b\r\n");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(Names(dir), std::vector<std::string>{"pipe"});
}

TEST(SavingFiles, AWriteProtectedFileIsRefusedEvenWhereTheFolderAllowsReplacing) {
    const std::string dir = Folder();
    const std::string path = dir + "/plan.dxf";
    WriteText(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(Save(path, "new", error));
    EXPECT_EQ(error, "cannot save " + path + ": the file is read-only");
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"plan.dxf"});
}

TEST(SavingFiles, AHardLinkedFileIsReplacedUnderTheNameSavedTo) {
    const std::string dir = Folder();
    WriteText(dir + "/plan.dxf", "old");
    fs::create_hard_link(dir + "/plan.dxf", dir + "/other.dxf");
    ASSERT_EQ(chmod((dir + "/plan.dxf").c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(Save(dir + "/plan.dxf", "new", error)) << error;
    EXPECT_EQ(ReadAll(dir + "/plan.dxf"), "new");
    EXPECT_EQ(ReadAll(dir + "/other.dxf"), "old");
    EXPECT_EQ(fs::status(dir + "/plan.dxf").permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// ---- Signals during a save -----------------------------------------------------------------

// Runs body in a child process; its wait status.
template <class Body>
int InChild(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(SavingFiles, ASignalEndingTheHostMidSaveLeavesNoTemporaryFile) {
    const std::string dir = Folder();
    const std::string path = dir + "/plan.dxf";
    WriteText(path, "old");
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        const int status = InChild([&] {
            host::InstallInterruptHandlers();
            std::string error;
            host::dxf::SaveFileAtomically(
                path,
                [&](const host::dxf::ByteSink& sink) {
                    sink(std::string(1 << 20, 'x'));
                    raise(sig);  // outside a command even Ctrl-C ends the host
                    sink("more");
                },
                error);
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_EQ(ReadAll(path), "old");
        EXPECT_EQ(Names(dir), std::vector<std::string>{"plan.dxf"}) << sig;
    }
}

TEST(SavingFiles, ASignalDuringAModulesFileWriteLeavesNoTemporaryFile) {
    const std::string dir = Folder();
    const std::string path = dir + "/columns.txt";
    WriteText(path, "old");
    const int status = InChild([&] {
        host::InstallInterruptHandlers();
        CFile file;
        if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite))
            _exit(3);
        file.Write("new", 3);
        raise(SIGTERM);
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"columns.txt"});
}

TEST(SavingFiles, CtrlCDuringACommandCancelsTheSave) {
    const std::string dir = Folder();
    const std::string path = dir + "/plan.dxf";
    WriteText(path, "old");
    const int status = InChild([&] {
        host::InstallInterruptHandlers();
        std::string error;
        bool saved = true;
        {
            host::CommandScope command;
            saved = host::dxf::SaveFileAtomically(
                path,
                [&](const host::dxf::ByteSink& sink) {
                    sink("part");
                    raise(SIGINT);
                    sink("rest");
                },
                error);
        }
        _exit(!saved && error == "cannot save " + path + ": cancelled" && !host::CancelRequested()
                  ? 0
                  : 3);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"plan.dxf"});
}

// ---- Numbers the drawing file cannot hold --------------------------------------------------

TEST(SavingFiles, TheWriterRefusesNumbersTheReaderRefuses) {
    std::string out;
    host::dxf::TagWriter writer([&](std::string_view s) { out.append(s); });
    EXPECT_THROW(writer.Real(10, std::numeric_limits<double>::infinity()),
                 host::dxf::TagWriter::Unwritable);
    EXPECT_THROW(writer.Real(20, std::nan("")), host::dxf::TagWriter::Unwritable);
    EXPECT_THROW(writer.Raw(10, "inf"), host::dxf::TagWriter::Unwritable);
    EXPECT_THROW(writer.Raw(1010, "-nan"), host::dxf::TagWriter::Unwritable);
    writer.Raw(1, "inf");  // a text may say so
    writer.Real(10, 1e308);
    writer.Flush();
    EXPECT_EQ(out, "  1\ninf\n 10\n1e+308\n");
}

class Hostile : public HostTest {
protected:
    AcDbDatabase* Db() { return acdbCurDwg(); }
    int Tables() {
        int n = 0;
        for (AcDbObjectId id : host::EntitiesOf(Db(), Db()->currentSpaceId())) {
            AcDbEntity* e = nullptr;
            if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) == Acad::eOk) {
                n += AcDbTable::cast(e) != nullptr;
                e->close();
            }
        }
        return n;
    }
};

TEST_F(Hostile, CoordinatesBeyondTheRangeOfNumbersAreRefusedWhereTheyWouldArise) {
    const std::string dir = Folder();
    const std::string path = dir + "/far.dxf";
    EXPECT_TRUE(RunScript({"-TABLE", "2", "2", "1e308,1e308"})) << errors;
    // Copied by that much again: the copy would lie at infinity.
    EXPECT_FALSE(RunScript({"COPY", "L", "", "0,0", "1e308,1e308"}));
    EXPECT_NE(errors.find("COPY: 1 of 1 objects would lie beyond the range of coordinates"),
              std::string::npos)
        << errors;
    EXPECT_EQ(Tables(), 1);
    // The default displacement (the base point itself) is out of range too.
    errors.clear();
    EXPECT_FALSE(RunScript({"COPY", "L", "", "1.5e308,0", ""}));
    EXPECT_NE(errors.find("COPY: the displacement is beyond the range of coordinates"),
              std::string::npos)
        << errors;
    errors.clear();
    EXPECT_TRUE(RunScript({"SAVEAS", path})) << errors;
    std::string error;
    EXPECT_NE(host::LoadDrawing(path, error), nullptr) << error;

    // A stored number out of range (an entity the host keeps as read) is not written: the save
    // fails and the file saved before stays.
    AcDbTable* table = nullptr;
    ASSERT_EQ(acdbOpenObject(table, host::LastEntity(Db()), AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(table->setPosition(AcGePoint3d(std::numeric_limits<double>::infinity(), 0, 0)),
              Acad::eInvalidInput);
    AcGeMatrix3d scale = AcGeMatrix3d::scaling(1e300);
    EXPECT_EQ(table->transformBy(scale), Acad::eInvalidInput);
    EXPECT_DOUBLE_EQ(table->position().x, 1e308);
    table->close();
}

// ---- Sizes beyond what a drawing holds -----------------------------------------------------

TEST_F(Hostile, TableSizesBeyondTheDrawingsLimitAreRefusedBeforeAllocating) {
    EXPECT_FALSE(RunScript({"-TABLE", "100000", "100000", "0,0"}));
    EXPECT_NE(errors.find("-TABLE: 100000 x 100000 cells is too large; a table holds at most "
                          "268435456 cells"),
              std::string::npos)
        << errors;
    EXPECT_EQ(Tables(), 0);

    // Without rows a table has no cells yet; every growth past the limit is refused.
    AcDbTable table;
    EXPECT_EQ(table.setNumColumns(1 << 20), Acad::eOk);
    EXPECT_EQ(table.setNumRows(1 << 9), Acad::eOutOfRange);
    EXPECT_EQ(table.setNumRows(2), Acad::eOk);
    EXPECT_EQ(table.insertRows(0, 1, 1 << 8), Acad::eOutOfRange);
    EXPECT_EQ(table.insertColumns(0, 1, 1 << 28), Acad::eOutOfRange);
    EXPECT_EQ(table.numRows(), 2u);
    EXPECT_EQ(table.numColumns(), 1u << 20);
}

TEST_F(Hostile, AnExceptionEndsTheCommandNotTheHost) {
    const auto thrower = [] { throw std::bad_alloc(); };
    acedRegCmds->addCommand("HOSTILE", "_THROWS", "THROWS", ACRX_CMD_MODAL,
                            static_cast<AcRxFunctionPtr>(thrower));
    EXPECT_FALSE(RunScript({"THROWS"}));
    EXPECT_EQ(errors,
              "input 1: error: THROWS: out of memory; the command was stopped and the "
              "drawing is as the command left it\n");
    errors.clear();
    EXPECT_TRUE(RunScript({"-TABLE", "1", "1", "0,0"})) << errors;
    acedRegCmds->removeGroup("HOSTILE");
}

// ---- Paths naming FIFOs --------------------------------------------------------------------

TEST_F(Hostile, DrawingAndScriptPathsNamingAFifoAreRefusedWithoutHanging) {
    const std::string dir = Folder();
    const std::string pipe = dir + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::string error;
    EXPECT_EQ(host::LoadDrawing(pipe, error), nullptr);
    EXPECT_NE(error.find("is not a file"), std::string::npos) << error;
    EXPECT_EQ(host::ScriptFileInput::Open(pipe, &error), nullptr);
    EXPECT_EQ(error, "it is not a plain file");
    EXPECT_FALSE(RunScript({"SCRIPT", pipe}));
    EXPECT_NE(errors.find("SCRIPT: cannot read " + pipe + ": it is not a plain file"),
              std::string::npos)
        << errors;
    errors.clear();
    EXPECT_FALSE(RunScript({"SAVEAS", pipe}));
    EXPECT_NE(errors.find("cannot save " + pipe + ": it is a FIFO, not a file"), std::string::npos)
        << errors;
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// ---- Scripts -------------------------------------------------------------------------------

// Runs a script file in the session; true when no line failed.
bool RunFile(const std::string& path) {
    std::unique_ptr<host::ScriptFileInput> script = host::ScriptFileInput::Open(path);
    EXPECT_NE(script, nullptr);
    if (!script)
        return false;
    host::ScopedInput scoped(*script);
    return host::RunCommandLoop();
}

TEST_F(Hostile, AScriptEndingInTheMiddleOfACommandIsAnError) {
    const std::string dir = Folder();
    WriteText(dir + "/short.scr", "-TABLE\n2\n; the rows were forgotten\n");
    EXPECT_FALSE(RunFile(dir + "/short.scr"));
    EXPECT_EQ(errors, dir +
                          "/short.scr:3: error: the input ends in the middle of a command (no "
                          "answer to \"Enter number of rows <1>:\")\n");
    EXPECT_EQ(Tables(), 0);
}

TEST_F(Hostile, AScriptMayStartWithAByteOrderMark) {
    const std::string dir = Folder();
    WriteText(dir + "/bom.scr", "\xEF\xBB\xBF-TABLE\r\n1\r\n1\r\n0,0\r\n");
    EXPECT_TRUE(RunFile(dir + "/bom.scr")) << errors;
    EXPECT_EQ(Tables(), 1);
}

// ---- Damaged drawings ----------------------------------------------------------------------

TEST_F(Hostile, ABadlyDamagedDrawingListsItsFirstRepairsAndACount) {
    const std::string dir = Folder();
    const std::string path = dir + "/damaged.dxf";
    ASSERT_TRUE(RunScript({"SAVEAS", path})) << errors;
    std::string text = ReadAll(path);
    const std::size_t entities = text.find("ENTITIES\n");
    ASSERT_NE(entities, std::string::npos);
    std::string broken;
    for (int i = 0; i < 30; ++i)  // references to a block the drawing lacks: each left out
        broken += "  0\nINSERT\n  5\n" + std::to_string(0xF00 + i) +
                  "\n  8\n0\n  2\nNOPE\n 10\n0.0\n 20\n0.0\n 30\n0.0\n";
    text.insert(entities + 9, broken);
    WriteText(path, text);
    out.clear();
    std::string error;
    ASSERT_NE(host::LoadDrawing(path, error), nullptr) << error;
    EXPECT_NE(out.find(" was damaged; recovered with 30 repair(s):"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 20 + 1) << out;
    EXPECT_NE(out.find("\n  ... and 10 more repair(s)"), std::string::npos) << out;
}

}  // namespace
