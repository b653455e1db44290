// The dialog's destination set-up: the proposed folder in the edit, and the
// options and language checks that an existing installation there implies.
//
// The proposal is made once, as soon as what it needs has arrived from the
// scan: the remembered folder as soon as the archive header names the
// product code, else the programs folder once the description names the
// product, else at the end of the scan. A folder the user has typed by then
// is never replaced; the presets then follow the typed folder. A language
// found after the proposal gets its preset when it arrives.
#pragma once

#include <windows.h>

#include "support/language_code.h"

// Hides Quick Launch where the system has none; before any proposal.
void PrepareDestination(HWND dialog);
// The archive header has arrived (the product code is in the state).
void ProposeRememberedDestination(HWND dialog);
// The product's name has arrived, or the scan ended: proposes the programs
// folder's, unless a proposal was made already.
void ProposeProgramsDestination(HWND dialog);
// A language item was added at index: preset its check.
void PresetNewLanguage(HWND dialog, int index, LanguageCode code);
// Unchecks every language but US and DE whose language file is missing in folder.
void UncheckMissingLanguages(HWND dialog, const wchar_t* folder);
