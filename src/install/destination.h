// The destination folder: the one to propose (remembered per user and
// product, else the programs folder and the product's name), and its
// remembering after a successful installation.
#pragma once

#include <windows.h>

void GetDefaultDestination(wchar_t* buffer, int capacity);
void RememberDestination(const wchar_t* destinationFolder);
// folder\<languageFileBase>_<code>.LNG, the file that shows a language installed.
void LanguageFilePath(const wchar_t* folder, const char* code, wchar_t* output, int capacity);
