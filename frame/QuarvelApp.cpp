// Module entry (placeholder until the application object lands).
#include "platform/rxdefs.h"
#include "platform/windef.h"

QV_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode, void*) { return AcRx::kRetOK; }
QV_EXPORT int acrxGetApiVersion() { return ACRX_MAKE_API_VERSION(QUARVEL_RELEASE); }
