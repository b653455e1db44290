// What OK does: create the folder, extract the chosen files, clean up,
// remember, register, make the shortcuts and report. 0 closes the dialog;
// -1 for an empty destination (nothing done, nothing shown); otherwise the
// extract pass's status, after its message was shown.
#pragma once

#include <windows.h>

#include "passes/extract_handler.h"

// languages: the language list's items and checks as they stand (none
// without a list); they decide which language files are written and which
// old ones removed.
int RunInstall(HWND dialog, const LanguageChoice* languages, int languageCount);
