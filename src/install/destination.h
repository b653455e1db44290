// The destination folder: proposed when the dialog opens, remembered per
// user and product after a successful installation.
#pragma once

#include <windows.h>

void GetDefaultDestination(wchar_t* buffer, int capacity);
void RememberDestination(const wchar_t* destinationFolder);
void InitDestination(HWND dialog);
void UncheckMissingLanguages(HWND dialog, const wchar_t* folder);
void LanguageFilePath(const wchar_t* folder, const char* code, wchar_t* output, int capacity);
