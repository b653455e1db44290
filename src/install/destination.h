// The destination folder: the one to propose (remembered per user and
// product, else the programs folder and the product's name), and its
// remembering after a successful installation.
#pragma once

#include <windows.h>

// The folder remembered for the product code (empty code: none); false and
// an empty buffer when there is none.
bool GetRememberedDestination(const char* productCode, wchar_t* buffer, int capacity);
// The programs folder with the product's name appended.
void GetProgramsDestination(const char* productName, wchar_t* buffer, int capacity);
// The remembered folder, else the programs folder's, for the installer state.
void GetDefaultDestination(wchar_t* buffer, int capacity);
void RememberDestination(const char* productCode, const wchar_t* destinationFolder);
// folder\<languageFileBase>_<code>.LNG, the file that shows a language installed.
void LanguageFilePath(const wchar_t* folder, const char* code, wchar_t* output, int capacity);
