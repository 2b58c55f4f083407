// Connection templates and the module-wide database list (filled in by the link model).
#include "frame/Hooks.h"

void RegisterConnectTemplates() {}

void FreeDatabases() {}
