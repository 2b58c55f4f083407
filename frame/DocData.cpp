#include "frame/DocData.h"

AcApDataManager<CDocData> DocVars;
