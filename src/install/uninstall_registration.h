// The product's entry in the system's list of installed programs.
#pragma once

// Writes DisplayName, UninstallString, DisplayIcon, Publisher and
// URLInfoAbout under the machine-wide uninstall key, in a key named after
// the product (productName, narrow; a backslash in it becomes '_').
// UninstallString is quoted when the path holds a space. Without a product
// name nothing is written: the key would be the shared uninstall key itself.
void RegisterUninstall(const char* productName, const wchar_t* uninstallerPath, const wchar_t* mainProgramPath);
