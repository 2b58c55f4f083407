// Application message codes and return codes exchanged between the host and a module.
#pragma once

namespace AcRx {

// Messages the host sends to a module's entry point, in the host's order.
enum AppMsgCode {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
    kCfgMsg = 6,
    kEndMsg = 7,
    kQuitMsg = 8,
    kSaveMsg = 9,
    kDependencyMsg = 10,
    kNoDependencyMsg = 11,
    kOleUnloadAppMsg = 12,
    kPreQuitMsg = 13,
    kInitDialogMsg = 14,
    kEndDialogMsg = 15,
};

enum AppRetCode {
    kRetOK = 0,
    kRetError = 3,
};

}  // namespace AcRx

// The API version that acrxGetApiVersion reports: the host release the module was built for
// in the high 16 bits and the revision of this interface in the low 16 bits. A host loads a
// module only when the release matches its own major release and the revision is its own.
#define ACRX_API_REVISION 1
#define ACRX_MAKE_API_VERSION(release) ((((release)&0xFFFF) << 16) | ACRX_API_REVISION)
