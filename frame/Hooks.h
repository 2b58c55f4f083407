// Steps of module load and unload that other parts of the module provide.
#pragma once

// Registers the connection-string templates of the data providers the module knows.
void RegisterConnectTemplates();
// Deletes every database record of the module-wide list (module unload).
void FreeDatabases();
// Installs the module's menus and toolbars into the host (release-16 build).
void InstallMenusAndToolbars();
