// Menu and toolbar installation of the release-16 build (no entries yet).
#include "online/MenuInstaller.h"

void InstallMenusAndToolbars() {}
