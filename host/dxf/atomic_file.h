// Saving a file so that it is either all new or untouched: the bytes go to a temporary file in
// the same folder, which is flushed to disk and then renamed over the file. A failed save
// leaves the old file as it was and no temporary file behind.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace host::dxf {

// Where the bytes of a file being saved go.
using ByteSink = std::function<void(std::string_view)>;

// Saves the file at path with what produce sends to the sink it is given (produce may give up by
// throwing a std::exception). The new file keeps the old one's permissions (a new file gets
// the usual ones). False with the reason in error ("cannot save PATH: ...").
bool SaveFileAtomically(const std::string& path,
                        const std::function<void(const ByteSink&)>& produce, std::string& error);

}  // namespace host::dxf
