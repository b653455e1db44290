#include "dialog/setup_dialog.h"

#include <commctrl.h>
#include <shlobj.h>

#include "core/installer_state.h"
#include "core/string_tables.h"
#include "dialog/destination_presets.h"
#include "dialog/install_flow.h"
#include "dialog/language_list.h"
#include "dialog/scan_updates.h"
#include "dialog/setup_session.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"

const short LANGUAGE_MENU_IDS[] = {ID_SELECT_ALL, ID_DESELECT_ALL, ID_INVERT_SELECTION, 0};

namespace {

void OnCommand(HWND dialog, int id, int notification) {
    HWND list = GetDlgItem(dialog, ID_LANGUAGE_LIST);
    SetupSession* session = Session();
    switch (id) {
        case ID_OK_BUTTON: OnOk(dialog); break;
        case ID_CANCEL_BUTTON: PostMessageW(dialog, WM_CLOSE, 0, 0); break;
        case ID_SELECT_ALL: session->userChangedLanguages = true; CheckAllLanguages(list); break;
        case ID_DESELECT_ALL: session->userChangedLanguages = true; UncheckAllLanguages(list); break;
        case ID_INVERT_SELECTION: session->userChangedLanguages = true; InvertLanguageChecks(list); break;
        case ID_BROWSE_BUTTON: BrowseForDestination(dialog, ID_DESTINATION_EDIT); break;
        case ID_DESTINATION_EDIT:
            if (notification == EN_CHANGE && !session->settingDestination) session->userTypedDestination = true;
            break;
        case ID_PROGRAM_GROUP_BOX:
        case ID_DESKTOP_BOX:
        case ID_QUICK_LAUNCH_BOX:
            if (notification == BN_CLICKED) session->userChangedOptions = true;
            break;
    }
}

// A check box of the language list changed by the user, not by the dialog.
void OnNotify(const NMHDR* header) {
    if (header->idFrom != ID_LANGUAGE_LIST || header->code != LVN_ITEMCHANGED) return;
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (!(change->uChanged & LVIF_STATE)) return;
    if (((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) == 0) return;
    if (!Session()->settingLanguages) Session()->userChangedLanguages = true;
}

void OnPassEvent(HWND dialog, PassEvent* event) {
    if (Session()->install)
        OnInstallEvent(dialog, event);
    else
        OnScanEvent(dialog, event);
}

// Cancel, Esc and the close box end the setup until OK is pressed; an
// install that has begun runs to its end.
void OnClose(HWND dialog) {
    SetupPhase phase = Session()->phase;
    if (phase == PHASE_WAITING_FOR_PRODUCT || phase == PHASE_INSTALLING) return;
    StopWorker(dialog);
    EndDialog(dialog, 0);
}

void OnTimer(HWND dialog, UINT_PTR timer) {
    if (timer == TIMER_SHOW_CHECKING) OnCheckingTimer(dialog);
    if (timer == TIMER_WAIT_FOR_PRODUCT) OnProductWaitTimer(dialog);
}

// Parses a path into an item list of the desktop folder; null when it cannot.
LPITEMIDLIST ParsePath(IShellFolder* desktop, HWND owner, const wchar_t* path) {
    wchar_t name[MAX_PATH];
    CopyBounded(path, name, MAX_PATH);
    LPITEMIDLIST items = nullptr;
    if (FAILED(desktop->ParseDisplayName(owner, nullptr, name, nullptr, &items, nullptr))) return nullptr;
    return items;
}

}  // namespace

void ApplyDialogTexts(HWND dialog, const StringTable* table, const short* idList) {
    if (!table || !idList) return;
    wchar_t text[1024];
    if (idList[0] != 0) {
        LookupString(table, idList[0], text, 1023);
        SetWindowTextW(dialog, text);
    }
    for (const short* id = idList + 1; *id != 0; ++id) {
        LookupString(table, *id, text, 1023);
        SetDlgItemTextW(dialog, *id, text);
    }
}

void CentreOnDesktop(HWND window) {
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    int x = ((desktop.right - desktop.left) - (rect.right - rect.left)) >> 1;
    int y = ((desktop.bottom - desktop.top) - (rect.bottom - rect.top)) >> 1;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowLanguageMenu(HWND dialog) {
    POINT at;
    GetCursorPos(&at);
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (const short* id = LANGUAGE_MENU_IDS; *id != 0; ++id) {
        wchar_t text[64];
        LookupString(gInstallerState->strings, *id, text, 63);
        if (text[0]) AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(*id), text);
    }
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
    DestroyMenu(menu);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, 0, data);
    return 0;
}

void BrowseForDestination(HWND dialog, int editId) {
    wchar_t path[PATH_CAPACITY];
    path[0] = 0;
    GetDlgItemTextW(dialog, editId, path, PATH_CAPACITY);
    BROWSEINFOW browse = {};
    browse.hwndOwner = dialog;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    IMalloc* allocator = nullptr;
    IShellFolder* desktop = nullptr;
    LPITEMIDLIST start = nullptr;
    if (path[0] && SUCCEEDED(SHGetMalloc(&allocator)) && allocator && SUCCEEDED(SHGetDesktopFolder(&desktop)) &&
        desktop) {
        ToFullPath(path);
        start = ParsePath(desktop, dialog, path);
        if (!start) {
            StripLastComponent(path);
            start = ParsePath(desktop, dialog, path);
        }
        if (start) {
            browse.lpfn = BrowseCallback;
            browse.lParam = reinterpret_cast<LPARAM>(start);
        }
        desktop->Release();
    }
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browse);
    if (chosen && SHGetPathFromIDListW(chosen, path)) SetDlgItemTextW(dialog, editId, path);
    // Item lists go back to the shell's allocator, whichever way they came.
    if (!allocator && FAILED(SHGetMalloc(&allocator))) allocator = nullptr;
    if (allocator) {
        if (chosen) allocator->Free(chosen);
        if (start) allocator->Free(start);
        allocator->Release();
    }
}

void InitSetupDialog(HWND dialog) {
    InstallerState* state = gInstallerState;
    HWND list = GetDlgItem(dialog, ID_LANGUAGE_LIST);
    CentreOnDesktop(dialog);
    SetClassLongPtrW(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(state->appIcon));
    ApplyDialogTexts(dialog, state->strings, DIALOG_TEXT_IDS);
    // OK waits for the check; the dialog shows at once.
    EnableWindow(GetDlgItem(dialog, ID_OK_BUTTON), FALSE);
    if (list) {
        InsertListColumns(list, LANGUAGE_COLUMNS);
        SetListColumnTexts(list, LANGUAGE_COLUMNS);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LANGUAGE_LIST_EX_STYLES);
        Session()->settingLanguages = true;
        AddDefaultLanguages(list);
        Session()->settingLanguages = false;
    }
    PrepareDestination(dialog);
    StartScan(dialog);
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: InitSetupDialog(dialog); break;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); break;
        case WM_NOTIFY: OnNotify(reinterpret_cast<const NMHDR*>(lParam)); break;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, ID_LANGUAGE_LIST)) ShowLanguageMenu(dialog);
            break;
        case WM_PASS_EVENT: OnPassEvent(dialog, reinterpret_cast<PassEvent*>(lParam)); break;
        case WM_TIMER: OnTimer(dialog, wParam); break;
        case WM_CLOSE: OnClose(dialog); break;
    }
    return 0;
}
