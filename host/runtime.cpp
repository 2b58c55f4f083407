// The host runtime (libcadhost_rt.so): what modules link against, as they would link against
// the CAD program. It is made of the host's layers whole; what it does itself is to put the
// session's services in the system registry the moment it is loaded, before any module or
// session asks for them.
#include "platform/accmd.h"
#include "platform/rxregsvc.h"

namespace {

[[maybe_unused]] const bool g_registered =
    (acrxSysRegistry()->atPut(ACRX_COMMAND_DOCK, acedRegCmdsPtr()),
     acrxSysRegistry()->atPut(ACRX_DYNAMIC_LINKER, acrxDynamicLinkerPtr()), true);

}  // namespace
