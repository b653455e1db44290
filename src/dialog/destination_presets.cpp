#include "dialog/destination_presets.h"

#include "core/control_ids.h"
#include "core/installer_state.h"
#include "dialog/language_list.h"
#include "dialog/setup_session.h"
#include "install/destination.h"
#include "install/shortcuts.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"

namespace {

bool LanguageFileMissing(const wchar_t* folder, LanguageCode code) {
    char letters[5];
    LanguageCodeText(code, letters);
    wchar_t path[PATH_CAPACITY];
    LanguageFilePath(folder, letters, path, PATH_CAPACITY);
    return PathExists(path) != 0;
}

void SetLanguageCheckedQuietly(HWND list, int index, bool checked) {
    SetupSession* session = Session();
    session->settingLanguages = true;
    SetLanguageChecked(list, index, checked);
    session->settingLanguages = false;
}

// The presets that the folder implies: a new installation gets every option;
// one over an earlier installation keeps the options off and loses the
// languages that it lacks. What the user has changed already stays.
void MakePresets(HWND dialog, const wchar_t* folder) {
    SetupSession* session = Session();
    session->presetForExisting = PathExists(folder) == 0;
    CopyBounded(folder, session->presetFolder, 1024);
    if (!session->presetForExisting) {
        if (session->userChangedOptions) return;
        for (int box = ID_PROGRAM_GROUP_BOX; box <= ID_QUICK_LAUNCH_BOX; ++box) CheckDlgButton(dialog, box, BST_CHECKED);
        return;
    }
    if (!session->userChangedLanguages) UncheckMissingLanguages(dialog, folder);
}

void Propose(HWND dialog, const wchar_t* folder) {
    SetupSession* session = Session();
    session->proposed = true;
    if (session->userTypedDestination) {
        wchar_t typed[PATH_CAPACITY];
        typed[0] = 0;
        GetDlgItemTextW(dialog, ID_DESTINATION_EDIT, typed, PATH_CAPACITY);
        MakePresets(dialog, typed);
        return;
    }
    session->settingDestination = true;
    SetDlgItemTextW(dialog, ID_DESTINATION_EDIT, folder);
    session->settingDestination = false;
    MakePresets(dialog, folder);
}

}  // namespace

void PrepareDestination(HWND dialog) {
    if (!QuickLaunchAvailable()) ShowWindow(GetDlgItem(dialog, ID_QUICK_LAUNCH_BOX), SW_HIDE);
}

void ProposeRememberedDestination(HWND dialog) {
    if (Session()->proposed) return;
    wchar_t folder[PATH_CAPACITY];
    if (GetRememberedDestination(gInstallerState->productCode, folder, PATH_CAPACITY)) Propose(dialog, folder);
}

void ProposeProgramsDestination(HWND dialog) {
    if (Session()->proposed) return;
    wchar_t folder[PATH_CAPACITY];
    GetProgramsDestination(gInstallerState->productName, folder, PATH_CAPACITY);
    Propose(dialog, folder);
}

void PresetNewLanguage(HWND dialog, int index, LanguageCode code) {
    SetupSession* session = Session();
    if (!session->proposed || !session->presetForExisting || session->userChangedLanguages) return;
    if (code == LANGUAGE_US || code == LANGUAGE_DE) return;
    if (LanguageFileMissing(session->presetFolder, code))
        SetLanguageCheckedQuietly(GetDlgItem(dialog, ID_LANGUAGE_LIST), index, false);
}

void UncheckMissingLanguages(HWND dialog, const wchar_t* folder) {
    HWND list = GetDlgItem(dialog, ID_LANGUAGE_LIST);
    if (!list) return;
    int count = LanguageCount(list);
    for (int i = 0; i < count; ++i) {
        LanguageCode code = LanguageCodeAt(list, i);
        if (code == LANGUAGE_US || code == LANGUAGE_DE) continue;
        if (LanguageFileMissing(folder, code)) SetLanguageCheckedQuietly(list, i, false);
    }
}
