// The setup dialog: the installer's whole user interface, run modally from
// dialog resource 1000.
#pragma once

#include <windows.h>

enum : int {
    SETUP_DIALOG_ID = 1000,
    ID_OK_BUTTON = 99,
    ID_CANCEL_BUTTON = 2,
    ID_PRODUCT_LABEL = 1001,
    ID_PLATFORM_LABEL = 1002,
    ID_LANGUAGE_LIST = 1010,
    ID_DESTINATION_LABEL = 1031,
    ID_DESTINATION_EDIT = 1032,
    ID_BROWSE_BUTTON = 1033,
    ID_PROGRAM_GROUP_BOX = 1041,
    ID_DESKTOP_BOX = 1042,
    ID_QUICK_LAUNCH_BOX = 1043,
    ID_STATUS_LINE = 1047,
};

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
