// The framework's files: line reading, replacing writes that never leave a half file, files
// that are not plain files, and the standard error messages.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "host_run.h"
#include "platform/afx.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

class FrameworkFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::path(testing::TempDir()) / ("files_" + std::to_string(getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string Path(const char* name) const { return (m_folder / name).string(); }
    std::vector<std::string> Lines(const std::string& path) {
        std::vector<std::string> lines;
        CStdioFile file(path.c_str(), CFile::modeRead | CFile::typeText);
        CStringA line;
        while (file.ReadString(line))
            lines.emplace_back(line.GetString());
        file.Close();
        return lines;
    }
    // The message of the exception an action throws, or "" when it throws none.
    template <class Action>
    static std::string ErrorOf(Action action) {
        try {
            action();
        } catch (CFileException* e) {
            CStringA message;
            e->GetErrorMessage(message);
            e->Delete();
            return message.GetString();
        }
        return "";
    }

    fs::path m_folder;
};

TEST_F(FrameworkFileTest, ReadsLinesOfAnyEndingAndSkipsAByteOrderMark) {
    struct Case {
        const char* bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"\xEF\xBB\xBFx,y\r\n", {"x,y"}},
        {"\xEF\xBB\xBF", {}},
        {"", {}},
        {"\n\n", {"", ""}},
        {"Grüße", {"Grüße"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        WriteFile(Path("lines.txt"), c.bytes);
        EXPECT_EQ(Lines(Path("lines.txt")), c.lines);
    }
    // A long line crosses the reader's buffer.
    WriteFile(Path("long.txt"), std::string(10000, 'q') + "\nend");
    EXPECT_EQ(Lines(Path("long.txt")), (std::vector<std::string>{std::string(10000, 'q'), "end"}));
}

TEST_F(FrameworkFileTest, AReplacingWriteTakesEffectOnlyOnClose) {
    WriteFile(Path("columns.txt"), "old");
    {
        CStdioFile file(Path("columns.txt").c_str(), CFile::modeCreate | CFile::modeWrite);
        file.WriteString("new text");
        EXPECT_EQ(ReadFile(Path("columns.txt")), "old");
        // Not closed: the old file stays and nothing is left beside it.
    }
    EXPECT_EQ(ReadFile(Path("columns.txt")), "old");
    {
        CStdioFile file(Path("columns.txt").c_str(), CFile::modeCreate | CFile::modeWrite);
        file.WriteString(u"néw");
        file.Close();
    }
    EXPECT_EQ(ReadFile(Path("columns.txt")), "néw");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

TEST_F(FrameworkFileTest, ASymbolicLinkIsWrittenThroughAndStays) {
    fs::create_directories(m_folder / "real");
    WriteFile(Path("real/target.txt"), "old");
    fs::create_symlink(m_folder / "real" / "target.txt", m_folder / "link.txt");
    CStdioFile file(Path("link.txt").c_str(), CFile::modeCreate | CFile::modeWrite);
    file.WriteString("through");
    file.Close();
    EXPECT_TRUE(fs::is_symlink(m_folder / "link.txt"));
    EXPECT_EQ(ReadFile(Path("real/target.txt")), "through");
}

TEST_F(FrameworkFileTest, OnlyPlainFilesOpenWithTheStandardMessages) {
    mkfifo(Path("pipe").c_str(), 0600);
    fs::create_directories(m_folder / "folder");
    const std::string pipe = Path("pipe");
    const std::string missing = Path("missing.txt");
    EXPECT_EQ(ErrorOf([&] { CStdioFile f(pipe.c_str(), CFile::modeRead); }),
              "Access to " + pipe + " was denied.");
    EXPECT_EQ(ErrorOf([&] { CStdioFile f(pipe.c_str(), CFile::modeCreate | CFile::modeWrite); }),
              "Access to " + pipe + " was denied.");
    EXPECT_EQ(ErrorOf([&] { CStdioFile f(missing.c_str(), CFile::modeRead); }),
              missing + " was not found.");
    EXPECT_EQ(ErrorOf([&] { CFile f(Path("folder").c_str(), CFile::modeRead); }),
              "Access to " + Path("folder") + " was denied.");
    EXPECT_EQ(ErrorOf([&] {
                  CFile f(Path("no/such/dir/x.txt").c_str(), CFile::modeCreate | CFile::modeWrite);
              }),
              Path("no/such/dir/x.txt") + " was not found.");
    EXPECT_TRUE(fs::is_fifo(m_folder / "pipe"));
}

TEST_F(FrameworkFileTest, AWriteProtectedFileIsRefused) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    WriteFile(Path("locked.txt"), "old");
    fs::permissions(m_folder / "locked.txt", fs::perms::owner_read);
    EXPECT_EQ(ErrorOf([&] {
                  CStdioFile f(Path("locked.txt").c_str(), CFile::modeCreate | CFile::modeWrite);
              }),
              "Access to " + Path("locked.txt") + " was denied.");
    EXPECT_EQ(ReadFile(Path("locked.txt")), "old");
}

TEST(FileException, MessagesNameTheFile) {
    struct Case {
        int cause;
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {CFileException::fileNotFound, "a.txt", "a.txt was not found."},
        {CFileException::accessDenied, "a.txt", "Access to a.txt was denied."},
        {CFileException::diskFull, "a.txt", "Disk full while accessing a.txt."},
        {CFileException::badPath, "", "an unnamed file contains an invalid path."},
        {CFileException::none, "a.txt", "An unknown error occurred while accessing a.txt."},
    };
    for (const Case& c : cases) {
        CFileException e(c.cause, -1, c.file);
        CStringA message;
        EXPECT_TRUE(e.GetErrorMessage(message));
        EXPECT_STREQ(message.GetString(), c.message);
    }
    EXPECT_EQ(CFileException::OsErrorToException(ENOENT), CFileException::fileNotFound);
    EXPECT_EQ(CFileException::OsErrorToException(ENOSPC), CFileException::diskFull);
}

}  // namespace
