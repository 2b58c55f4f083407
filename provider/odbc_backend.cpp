#include "provider/backend.h"
namespace provider {
std::unique_ptr<Backend> OpenOdbcBackend(const std::string&) {
    Fail(E_FAIL, kOdbcSource, "ODBC is not available");
}
}  // namespace provider
