// The framework's file dialog.
#pragma once

#include "platform/afxwin.h"

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_NOVALIDATE 0x00000100
#define OFN_ALLOWMULTISELECT 0x00000200
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_NOREADONLYRETURN 0x00008000
#define OFN_EXPLORER 0x00080000
#define OFN_ENABLESIZING 0x00800000

// An open or save dialog. The filter is the framework's form: pairs of a description and
// its patterns, each followed by "|", the whole ended by "||" ("Text Files (*.txt)|*.txt|
// All Files (*.*)|*.*||"; several patterns of one entry are separated by ";"). A default
// extension (without the dot) is added to a typed name that has none.
class QV_UI_API CFileDialog : public CDialog {
public:
    CFileDialog(BOOL bOpenFileDialog, const char* defExt = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* pParent = nullptr);
    CFileDialog(BOOL bOpenFileDialog, const char16_t* defExt, const char16_t* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const char16_t* filter = nullptr, CWnd* pParent = nullptr);
    ~CFileDialog() override;

    // IDOK with a chosen file, IDCANCEL when the user cancelled.
    INT_PTR DoModal() override;

    template <class C>
    CStringT<C> GetPathNameT() const;  // the full path chosen
    template <class C>
    CStringT<C> GetFileNameT() const;  // its file name
    template <class C>
    CStringT<C> GetFileExtT() const;  // its extension without the dot
#if defined(QUARVEL_MODULE)
    CString GetPathName() const {
        return GetPathNameT<TCHAR>();
    }
    CString GetFileName() const {
        return GetFileNameT<TCHAR>();
    }
    CString GetFileExt() const {
        return GetFileExtT<TCHAR>();
    }
#endif

    BOOL m_bOpenFileDialog;
    DWORD m_dwFlags;

private:
    std::string m_defExt;    // UTF-8
    std::string m_fileName;  // initial name
    std::string m_filter;
    std::string m_chosen;  // full path after IDOK
};
