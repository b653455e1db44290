#include "dialog/setup_dialog.h"

#include <commctrl.h>
#include <shlobj.h>

#include "core/installer_pass.h"
#include "core/installer_state.h"
#include "core/string_tables.h"
#include "core/table_messages.h"
#include "dialog/destination_presets.h"
#include "dialog/language_list.h"
#include "install/install_action.h"
#include "install/instance_shutdown.h"
#include "passes/scan_handler.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"

const short LANGUAGE_MENU_IDS[] = {ID_SELECT_ALL, ID_DESELECT_ALL, ID_INVERT_SELECTION, 0};

namespace {

// The scan pass's view of the dialog.
void GetTitle(void* dialog, char* title, int capacity) {
    title[0] = 0;
    GetWindowTextA(static_cast<HWND>(dialog), title, capacity);
}

void SetTitle(void* dialog, const char* title) { SetWindowTextA(static_cast<HWND>(dialog), title); }

// An 18-point face for the product label, made anew for every description.
void SetProductFont(HWND dialog) {
    HDC dc = GetDC(dialog);
    LOGFONTW font = {};
    font.lfHeight = MulDiv(-18, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(dialog, dc);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STRING_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    CopyBounded(L"MS Sans Serif", font.lfFaceName, LF_FACESIZE);
    HFONT handle = CreateFontIndirectW(&font);
    if (handle) SendDlgItemMessageW(dialog, ID_PRODUCT_LABEL, WM_SETFONT, reinterpret_cast<WPARAM>(handle), FALSE);
}

void SetProductLabel(void* context, const char* text) {
    HWND dialog = static_cast<HWND>(context);
    SetProductFont(dialog);
    SetDlgItemTextA(dialog, ID_PRODUCT_LABEL, text);
}

void SetPlatformLabel(void* dialog, const char* text) {
    SetDlgItemTextA(static_cast<HWND>(dialog), ID_PLATFORM_LABEL, text);
}

int FindListLanguage(void* dialog, LanguageCode code) {
    return FindLanguage(GetDlgItem(static_cast<HWND>(dialog), ID_LANGUAGE_LIST), code);
}

void AddListLanguage(void* dialog, const WideChar* name, LanguageCode code) {
    AddLanguage(GetDlgItem(static_cast<HWND>(dialog), ID_LANGUAGE_LIST), name, code);
}

int32_t RunScanPass(HWND dialog) {
    ScanView view = {dialog, GetTitle, SetTitle, SetProductLabel, SetPlatformLabel, FindListLanguage, AddListLanguage};
    return RunArchivePass(gInstallerState->setupPath, OnScanEntry, &view);
}

void OnOk(HWND dialog) {
    int count = 0;
    LanguageChoice* languages = ReadLanguageChoices(GetDlgItem(dialog, ID_LANGUAGE_LIST), &count);
    int result = RunInstall(dialog, languages, count);
    MemFree(languages);
    if (result == 0) PostMessageW(dialog, WM_CLOSE, 0, 0);
}

void OnCommand(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, ID_LANGUAGE_LIST);
    switch (id) {
        case ID_OK_BUTTON: OnOk(dialog); break;
        case ID_CANCEL_BUTTON: PostMessageW(dialog, WM_CLOSE, 0, 0); break;
        case ID_SELECT_ALL: CheckAllLanguages(list); break;
        case ID_DESELECT_ALL: UncheckAllLanguages(list); break;
        case ID_INVERT_SELECTION: InvertLanguageChecks(list); break;
        case ID_BROWSE_BUTTON: BrowseForDestination(dialog, ID_DESTINATION_EDIT); break;
    }
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
    if (!list) return;
    InsertListColumns(list, LANGUAGE_COLUMNS);
    SetListColumnTexts(list, LANGUAGE_COLUMNS);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LANGUAGE_LIST_EX_STYLES);
    AddDefaultLanguages(list);
    int32_t status = RunScanPass(dialog);
    if (!state->windowClass[0]) AppendBoundedA(state->productName, state->windowClass, WINDOW_CLASS_CAPACITY);
    if (state->windowClass[0]) StartCloseRunningInstances(state->windowClass);
    InitDestination(dialog);
    if (status != 0) {
        ShowTableMessage(dialog, STRING_BROKEN_FILE, state->setupPath, MB_ICONERROR);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: InitSetupDialog(dialog); break;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, ID_LANGUAGE_LIST)) ShowLanguageMenu(dialog);
            break;
        case WM_CLOSE: EndDialog(dialog, 0); break;
    }
    return 0;
}
