// The framework's exceptions and files: CException, CFileException with the framework's
// standard file error messages, CFile and the line-oriented CStdioFile.
#pragma once

#include "platform/afxwin.h"

class QV_UI_API CException : public CObject {
public:
    ~CException() override;
    // Frees an exception thrown as a pointer (the framework's way of throwing).
    void Delete();
    // The error's message; false when there is none.
    virtual BOOL GetErrorMessage(CStringA& message) const;
    BOOL GetErrorMessage(CStringW& message) const;
    // Shows the message in a message box (MB_OK unless given) and returns the answer.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);
};

class QV_UI_API CFileException : public CException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };
    CFileException(int cause = none, LONG osError = -1, const char* fileName = nullptr);
    ~CFileException() override;
    // The framework's standard text for the cause, naming the file ("%1 was not found." ...).
    BOOL GetErrorMessage(CStringA& message) const override;
    using CException::GetErrorMessage;
    // The cause for an operating-system error number (errno).
    static int OsErrorToException(LONG osError);
    [[noreturn]] static void ThrowOsError(LONG osError, const char* fileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CStringA m_strFileName;  // UTF-8
};

// A file on disk. Paths are UTF-8 or UTF-16; text files are UTF-8.
//
// A file opened to be created (modeCreate without modeNoTruncate) is written beside its final
// place and replaces the old file only when Close succeeds, so a failed write never leaves a
// half file; a symbolic link is written through (the link stays), and files that are not plain
// files are refused. Abort, or destroying the object without Close, leaves the old file.
class QV_UI_API CFile : public CObject {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    CFile();
    // Opens or throws a CFileException*.
    CFile(const char* fileName, UINT openFlags);
    CFile(const char16_t* fileName, UINT openFlags);
    ~CFile() override;
    // Opens; false (with the reason in *pError when given) on failure.
    virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* pError = nullptr);
    BOOL Open(const char16_t* fileName, UINT openFlags, CFileException* pError = nullptr);
    virtual void Close();
    // Closes without throwing.
    virtual void Abort();
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    ULONGLONG GetLength() const;
    BOOL IsOpen() const { return m_fd >= 0; }

protected:
    int m_fd = -1;
    std::string m_path;       // UTF-8, as given
    std::string m_finalPath;  // where a replacing write ends up (empty: written in place)
    std::string m_tempPath;   // the file written until Close renames it
    // Throws the CFileException of the current errno for this file.
    [[noreturn]] void ThrowLastError() const;
    void DiscardTemporary();
};

// A text file read and written by lines. Reading takes a line without its end ("\n" or
// "\r\n"); a byte-order mark at the start of the file is skipped. In the UTF-16 build the
// UTF-8 text is converted.
class QV_UI_API CStdioFile : public CFile {
public:
    CStdioFile();
    CStdioFile(const char* fileName, UINT openFlags);
    CStdioFile(const char16_t* fileName, UINT openFlags);
    ~CStdioFile() override;
    BOOL Open(const char* fileName, UINT openFlags, CFileException* pError = nullptr) override;
    using CFile::Open;
    void Close() override;
    void Abort() override;
    // False at the end of the file.
    BOOL ReadString(CStringA& line);
    BOOL ReadString(CStringW& line);
    void WriteString(const char* text);
    void WriteString(const char16_t* text);

private:
    std::string m_buffer;  // bytes read and not yet returned
    std::size_t m_pos = 0;
    bool m_eof = false;
    bool m_started = false;  // the byte-order mark check has been made
    std::string m_pending;   // bytes written and not yet flushed
    void Flush();
    bool FillBuffer();
};
