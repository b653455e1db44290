// Shell folders for shortcuts, and whether Quick Launch is to be used.
#pragma once

#include <windows.h>

// The file-system path of a shell special folder (a CSIDL), or empty.
void GetSpecialFolder(int csidl, wchar_t* path);
// The Quick Launch folder, or empty when the system pins to the taskbar
// instead or has no such folder.
void GetQuickLaunchFolder(wchar_t* path, int capacity);
int QuickLaunchAvailable();
