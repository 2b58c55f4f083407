// Menu and toolbar installation of the release-16 build (no entries yet).
#include "frame/Hooks.h"

void InstallMenusAndToolbars() {}
