// The framework's file dialog: the toolkit asks for the file; the framework's rules (filters,
// default extension) are applied the same way in every toolkit.
#include <filesystem>

#include "host/ui/dialogs/toolkit.h"
#include "platform/afxdlgs.h"
#include "platform/textconv.h"

namespace host::ui {

std::vector<FileDialogRequest::Filter> ParseFileFilter(const std::string& filter) {
    std::vector<FileDialogRequest::Filter> filters;
    std::vector<std::string> parts;
    std::string part;
    for (const char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty())
            break;
        FileDialogRequest::Filter f;
        f.description = parts[i];
        std::string pattern;
        for (const char c : parts[i + 1] + ";") {
            if (c == ';') {
                if (!pattern.empty())
                    f.patterns.push_back(pattern);
                pattern.clear();
            } else if (c != ' ') {
                pattern += c;
            }
        }
        filters.push_back(std::move(f));
    }
    return filters;
}

std::string CompleteChosenPath(const FileDialogRequest& request, const std::string& typed) {
    namespace fs = std::filesystem;
    fs::path path(typed);
    if (!request.defaultExtension.empty() && !path.has_extension() && !typed.empty() &&
        typed.back() != '/')
        path += "." + request.defaultExtension;
    if (path.is_relative()) {
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        if (!ec)
            path = cwd / path;
    }
    return path.lexically_normal().string();
}

}  // namespace host::ui

namespace {

std::string U8(const char* text) {
    return text ? std::string(text) : std::string();
}

std::string U8(const char16_t* text) {
    return text ? qv::ToUtf8(text) : std::string();
}

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* defExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* pParent)
    : CDialog(0u, pParent, false),
      m_bOpenFileDialog(bOpenFileDialog),
      m_dwFlags(flags),
      m_defExt(U8(defExt)),
      m_fileName(U8(fileName)),
      m_filter(U8(filter)) {}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char16_t* defExt, const char16_t* fileName,
                         DWORD flags, const char16_t* filter, CWnd* pParent)
    : CDialog(0u, pParent, true),
      m_bOpenFileDialog(bOpenFileDialog),
      m_dwFlags(flags),
      m_defExt(U8(defExt)),
      m_fileName(U8(fileName)),
      m_filter(U8(filter)) {}

CFileDialog::~CFileDialog() = default;

INT_PTR CFileDialog::DoModal() {
    host::ui::FileDialogRequest request;
    request.open = m_bOpenFileDialog != FALSE;
    request.title = request.open ? "Open" : "Save As";
    request.defaultExtension = m_defExt;
    request.fileName = m_fileName;
    request.flags = m_dwFlags;
    request.filters = host::ui::ParseFileFilter(m_filter);
    std::optional<std::string> chosen = host::ui::CurrentToolkit().ChooseFile(request);
    if (!chosen)
        return IDCANCEL;
    m_chosen = *chosen;
    return IDOK;
}

template <class C>
CStringT<C> CFileDialog::GetPathNameT() const {
    return CStringT<C>(qv::ConvertText<C>(std::string_view(m_chosen)));
}

template <class C>
CStringT<C> CFileDialog::GetFileNameT() const {
    const std::string name = std::filesystem::path(m_chosen).filename().string();
    return CStringT<C>(qv::ConvertText<C>(std::string_view(name)));
}

template <class C>
CStringT<C> CFileDialog::GetFileExtT() const {
    std::string ext = std::filesystem::path(m_chosen).extension().string();
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    return CStringT<C>(qv::ConvertText<C>(std::string_view(ext)));
}

template QV_UI_API CStringT<char> CFileDialog::GetPathNameT<char>() const;
template QV_UI_API CStringT<char16_t> CFileDialog::GetPathNameT<char16_t>() const;
template QV_UI_API CStringT<char> CFileDialog::GetFileNameT<char>() const;
template QV_UI_API CStringT<char16_t> CFileDialog::GetFileNameT<char16_t>() const;
template QV_UI_API CStringT<char> CFileDialog::GetFileExtT<char>() const;
template QV_UI_API CStringT<char16_t> CFileDialog::GetFileExtT<char16_t>() const;
