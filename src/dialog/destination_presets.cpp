#include "dialog/destination_presets.h"

#include "core/control_ids.h"
#include "core/installer_state.h"
#include "dialog/language_list.h"
#include "install/destination.h"
#include "install/shortcuts.h"
#include "support/files_messages.h"

void UncheckMissingLanguages(HWND dialog, const wchar_t* folder) {
    HWND list = GetDlgItem(dialog, ID_LANGUAGE_LIST);
    if (!list) return;
    int count = LanguageCount(list);
    for (int i = 0; i < count; ++i) {
        LanguageCode code = LanguageCodeAt(list, i);
        if (code == LANGUAGE_US || code == LANGUAGE_DE) continue;
        char letters[5];
        LanguageCodeText(code, letters);
        wchar_t path[PATH_CAPACITY];
        LanguageFilePath(folder, letters, path, PATH_CAPACITY);
        if (PathExists(path) != 0) SetLanguageChecked(list, i, false);
    }
}

void InitDestination(HWND dialog) {
    wchar_t folder[PATH_CAPACITY];
    GetDefaultDestination(folder, PATH_CAPACITY);
    SetDlgItemTextW(dialog, ID_DESTINATION_EDIT, folder);
    if (!QuickLaunchAvailable()) ShowWindow(GetDlgItem(dialog, ID_QUICK_LAUNCH_BOX), SW_HIDE);
    if (PathExists(folder) != 0) {
        for (int box = ID_PROGRAM_GROUP_BOX; box <= ID_QUICK_LAUNCH_BOX; ++box) CheckDlgButton(dialog, box, BST_CHECKED);
    } else {
        UncheckMissingLanguages(dialog, folder);
    }
}
