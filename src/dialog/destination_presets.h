// The dialog's destination set-up: the proposed folder in the edit, and the
// options and language checks that an existing installation there implies.
#pragma once

#include <windows.h>

// Proposes the destination, hides Quick Launch where the system has none,
// and presets the boxes (checked for a new folder) and the language checks
// (unchecked where an existing installation lacks the language's file).
void InitDestination(HWND dialog);
// Unchecks every language but US and DE whose language file is missing in folder.
void UncheckMissingLanguages(HWND dialog, const wchar_t* folder);
