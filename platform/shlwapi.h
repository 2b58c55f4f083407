// Path functions of the shell library, with this platform's rules: "/" separates folders and a
// path is absolute when it starts with "/". A backslash in a relative path (written by a
// drawing made on Windows) counts as a separator too. A Windows absolute path ("C:\...",
// "\\server\...") counts as absolute, so it is never joined to another folder.
#pragma once

#include <string>
#include <vector>

#include "platform/CString.h"

namespace qv::path {

template <class C>
bool IsSeparator(C c) {
    return c == C('/') || c == C('\\');
}

template <class C>
bool IsRelative(std::basic_string_view<C> p) {
    if (p.empty())
        return true;
    if (p[0] == C('/'))
        return false;
    if (p.size() >= 2 && p[0] == C('\\') && p[1] == C('\\'))
        return false;  // UNC
    if (p.size() >= 2 && p[1] == C(':') &&
        ((p[0] >= C('A') && p[0] <= C('Z')) || (p[0] >= C('a') && p[0] <= C('z'))))
        return false;  // drive letter
    return true;
}

// Removes "." and ".." parts and repeated separators; backslashes become "/". A ".." above
// the root of an absolute path is dropped; above the start of a relative path it is kept.
template <class C>
std::basic_string<C> Canonicalize(std::basic_string_view<C> p) {
    const bool absolute = !p.empty() && IsSeparator(p[0]);
    std::vector<std::basic_string<C>> parts;
    std::basic_string<C> part;
    auto flush = [&]() {
        if (part.empty() || part == std::basic_string<C>(1, C('.'))) {
        } else if (part.size() == 2 && part[0] == C('.') && part[1] == C('.')) {
            if (!parts.empty() && !(parts.back().size() == 2 && parts.back()[0] == C('.') &&
                                    parts.back()[1] == C('.'))) {
                parts.pop_back();
            } else if (!absolute) {
                parts.push_back(part);
            }
        } else {
            parts.push_back(part);
        }
        part.clear();
    };
    for (C c : p) {
        if (IsSeparator(c)) {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    std::basic_string<C> out;
    if (absolute)
        out += C('/');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += C('/');
        out += parts[i];
    }
    if (out.empty())
        out += absolute ? C('/') : C('.');
    return out;
}

}  // namespace qv::path

template <class C>
BOOL PathIsRelative(const C* path) {
    return path && qv::path::IsRelative<C>(path) ? TRUE : FALSE;
}

// Removes the last part (the file name) of a path held in a CString; TRUE when something was
// removed.
template <class C>
BOOL PathRemoveFileSpec(CStringT<C>& path) {
    const auto& s = path.Str();
    std::size_t cut = s.find_last_of(std::basic_string<C>{C('/'), C('\\')});
    if (cut == std::basic_string<C>::npos) {
        const bool had = !s.empty();
        path.Empty();
        return had ? TRUE : FALSE;
    }
    path = CStringT<C>(s.substr(0, cut == 0 ? 1 : cut));
    return TRUE;
}

// Ends a path with a separator (an empty path stays empty).
template <class C>
void PathAddBackslash(CStringT<C>& path) {
    if (!path.IsEmpty() && !qv::path::IsSeparator(path[path.GetLength() - 1]))
        path += C('/');
}

// Appends a relative part to a path, with one separator between them.
template <class C>
BOOL PathAppend(CStringT<C>& path, const C* more) {
    if (!more)
        return FALSE;
    std::basic_string_view<C> tail(more);
    while (!tail.empty() && qv::path::IsSeparator(tail[0]) && !path.IsEmpty())
        tail.remove_prefix(1);
    PathAddBackslash(path);
    path += CStringT<C>(tail);
    return TRUE;
}

// The canonical form of a path; FALSE for an empty path.
template <class C>
BOOL PathCanonicalize(CStringT<C>& out, const C* path) {
    if (!path || !*path)
        return FALSE;
    out = CStringT<C>(qv::path::Canonicalize<C>(path));
    return TRUE;
}

#define MAX_PATH 260
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080

// Whether a file or folder exists at the path (asked of the operating system by the host).
BOOL PathFileExistsA(const char* path);
BOOL PathFileExistsW(const char16_t* path);
inline BOOL PathFileExists(const char* path) {
    return PathFileExistsA(path);
}
inline BOOL PathFileExists(const char16_t* path) {
    return PathFileExistsW(path);
}

// The relative path from a file (FILE_ATTRIBUTE_NORMAL: from its folder) or a folder
// (FILE_ATTRIBUTE_DIRECTORY) to another path, both absolute: a dot step ("./db/parts.mdb") or
// parent steps ("../parts.mdb") first. FALSE, with out untouched, when either path is relative
// or the result would not fit the MAX_PATH characters of out.
template <class C>
BOOL PathRelativePathTo(C* out, const C* from, DWORD fromAttributes, const C* to,
                        DWORD toAttributes) {
    (void)toAttributes;
    if (!out || !from || !to || qv::path::IsRelative<C>(from) || qv::path::IsRelative<C>(to))
        return FALSE;
    auto split = [](const std::basic_string<C>& path) {
        std::vector<std::basic_string<C>> parts;
        std::basic_string<C> part;
        for (const C c : path) {
            if (qv::path::IsSeparator(c)) {
                if (!part.empty())
                    parts.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        if (!part.empty())
            parts.push_back(part);
        return parts;
    };
    std::vector<std::basic_string<C>> base = split(qv::path::Canonicalize<C>(from));
    const std::vector<std::basic_string<C>> target = split(qv::path::Canonicalize<C>(to));
    if (!(fromAttributes & FILE_ATTRIBUTE_DIRECTORY) && !base.empty())
        base.pop_back();
    std::size_t common = 0;
    while (common < base.size() && common < target.size() && base[common] == target[common])
        ++common;
    std::basic_string<C> result;
    if (common == base.size())
        result += C('.');
    for (std::size_t i = common; i < base.size(); ++i) {
        if (!result.empty())
            result += C('/');
        result += C('.');
        result += C('.');
    }
    for (std::size_t i = common; i < target.size(); ++i) {
        result += C('/');
        result += target[i];
    }
    if (result.size() >= MAX_PATH)
        return FALSE;
    std::copy(result.begin(), result.end(), out);
    out[result.size()] = C(0);
    return TRUE;
}
