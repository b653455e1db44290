// Shell folders for shortcuts, and whether Quick Launch is to be used.
#pragma once

#include <windows.h>

// The product's name as a file or folder name (program group, shortcuts,
// default destination): what Windows forbids in names becomes '_', and so on
// (MakeSafeName). The dialog and the messages show the name as written.
void ProductFileName(const char* productName, wchar_t* name, int capacity);
// The file-system path of a shell special folder (a CSIDL), or empty.
void GetSpecialFolder(int csidl, wchar_t* path);
// The Quick Launch folder, or empty when the system pins to the taskbar
// instead or has no such folder.
void GetQuickLaunchFolder(wchar_t* path, int capacity);
int QuickLaunchAvailable();

struct InstallContext;

// Writes one .lnk file: target, working folder and SW_SHOW, nothing else.
// The shell-link object's status: non-negative for success.
HRESULT CreateShellLink(const wchar_t* linkPath, const wchar_t* target, const wchar_t* workingFolder);
void CreateDesktopShortcut(const wchar_t* target, const wchar_t* linkName);
void CreateQuickLaunchShortcut(const wchar_t* target, const wchar_t* linkName);
void AddGroupShortcut(const wchar_t* linkName, const wchar_t* folder, const wchar_t* fileName,
                      const wchar_t* groupFolder);
// The product's folder in the Start menu's programs, with its shortcuts; an
// existing folder is left as it is.
void CreateProgramGroup(const InstallContext* context);
