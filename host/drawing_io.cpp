// Fallback drawing-file functions: used only while no drawing-file format is linked in (the
// format's strong definitions take precedence over these weak ones).
#include "host/drawing_io.h"

#include "platform/dbmain.h"

namespace host {

__attribute__((weak)) std::unique_ptr<AcDbDatabase> LoadDrawing(const std::string& path,
                                                                std::string& error) {
    error = "cannot open " + path + ": this host cannot read drawing files yet";
    return nullptr;
}

__attribute__((weak)) bool SaveDrawing(AcDbDatabase&, const std::string& path, std::string& error) {
    error = "cannot save " + path + ": this host cannot write drawing files yet";
    return false;
}

}  // namespace host
