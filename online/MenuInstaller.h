// Menu and toolbar installation of the release-16 build.
#pragma once

// Installs the module's menus and toolbars into the host.
void InstallMenusAndToolbars();
