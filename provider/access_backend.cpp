#include "provider/backend.h"
namespace provider {
std::unique_ptr<Backend> OpenAccessBackend(const std::string&) {
    Fail(E_FAIL, kAccessSource, "Access is not available");
}
}  // namespace provider
