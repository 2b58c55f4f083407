// Host application services: the working database and the host's release facts.
#pragma once

#include "platform/acadstrc.h"

class AcDbDatabase;

class AcDbHostApplicationServices {
public:
    virtual ~AcDbHostApplicationServices() = default;
    virtual AcDbDatabase* workingDatabase() const = 0;
    // The release marker text (for example "R17.0"); releases "16.0" to "17.2" are offered.
    virtual const char* releaseMarkerA() const = 0;
    virtual const char16_t* releaseMarkerW() const = 0;
#if defined(QUARVEL_MODULE)
#if defined(_UNICODE)
    const char16_t* releaseMarker() const { return releaseMarkerW(); }
#else
    const char* releaseMarker() const { return releaseMarkerA(); }
#endif
#endif
    virtual int releaseMajorVersion() const = 0;
    virtual int releaseMinorVersion() const = 0;
    // The host program's executable base name ("acad" unless the host was told otherwise).
    virtual const char* programBaseName() const = 0;
};

AcDbHostApplicationServices* acdbHostApplicationServices();
