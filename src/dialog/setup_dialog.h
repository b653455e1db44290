// The setup dialog: the installer's whole user interface, run modally from
// dialog resource 1000.
#pragma once

#include <windows.h>

#include "core/control_ids.h"

extern const short LANGUAGE_MENU_IDS[];

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void InitSetupDialog(HWND dialog);
void CentreOnDesktop(HWND window);
void ShowLanguageMenu(HWND dialog);
void BrowseForDestination(HWND dialog, int editId);
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
// Sets the title and control texts from a table: the list's first id is the
// title's, then control ids, then 0.
void ApplyDialogTexts(HWND dialog, const struct StringTable* table, const short* idList);
