// Saving a file so that it is either all new or untouched: the bytes go to a temporary file in
// the same folder, which is flushed to disk and then renamed over the file. A failed or
// cancelled save, or a signal ending the host during it, leaves the old file as it was and no
// temporary file behind.
//
// Only plain files are replaced that way. A symbolic link is written through: its target is
// replaced and the link stays. A folder, device, FIFO or socket is never replaced; with
// `streams` a character device or FIFO is written into straight (an export to /dev/stdout or
// to a pipe), else it is refused. A file without write permission is refused rather than
// replaced through the folder's permission. A file with several hard links is replaced like
// any other: the name saved to gets the new contents, its other names keep the old ones.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace host::dxf {

// Where the bytes of a file being saved go.
using ByteSink = std::function<void(std::string_view)>;

struct SaveTarget {
    // Whether a character device or FIFO is written into (else it is refused).
    bool streams = false;
    // What the errors say is done ("cannot save PATH: ...").
    const char* verb = "save";
};

// Saves the file at path with what produce sends to the sink it is given (produce may give up by
// throwing a std::exception). The sink gives up too when the user cancels the command
// (host::CancelRequested). The new file keeps the old one's permissions (a new file gets the
// usual ones). False with the reason in error ("cannot save PATH: ...").
bool SaveFileAtomically(const std::string& path,
                        const std::function<void(const ByteSink&)>& produce, std::string& error,
                        const SaveTarget& target = {});

}  // namespace host::dxf
