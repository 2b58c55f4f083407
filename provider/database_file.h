// The files that file-based sources open: only existing regular files, named in clear errors
// otherwise, and opened so that nothing the path names can block the caller.
#pragma once

#include <string>

namespace provider {

// Throws the provider's error 0x80004005 naming the path unless it is an existing regular file
// (after symbolic links): a missing file, a folder, a device, a named pipe or a socket.
void RequireRegularFile(const std::string& path, std::u16string_view source);

// An open descriptor of a regular file, read only; closed with the object.
class RegularFile {
public:
    // Checks the path as RequireRegularFile does, then opens it without blocking and checks
    // again what was opened (the path may have been replaced in between); throws likewise.
    RegularFile(const std::string& path, std::u16string_view source);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // A name that opens the same file for libraries that take a name (the descriptor's entry
    // in /proc/self/fd), or the path when the system has no such entries.
    const std::string& Name() const { return m_name; }

private:
    int m_fd = -1;
    std::string m_name;
};

}  // namespace provider
