// Per-document state of the module: an empty record per document, kept by a data manager that
// follows the host's documents from module load to unload.
#pragma once

#include "platform/AcApDataManager.h"

class CDocData {};

extern AcApDataManager<CDocData> DocVars;
