#include "dialog/scan_updates.h"

#include "core/control_ids.h"
#include "core/installer_pass.h"
#include "core/installer_state.h"
#include "core/string_tables.h"
#include "core/table_messages.h"
#include "dialog/destination_presets.h"
#include "dialog/language_list.h"
#include "dialog/setup_session.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"

namespace {

// A check shorter than this shows no progress at all.
constexpr UINT kQuietCheckMilliseconds = 500;

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

void AddFoundLanguage(HWND dialog, const PassEvent* event) {
    HWND list = GetDlgItem(dialog, ID_LANGUAGE_LIST);
    if (!list) return;
    LanguageCode code = static_cast<LanguageCode>(event->value);
    SetupSession* session = Session();
    session->settingLanguages = true;
    int index = AddLanguage(list, event->Wide(), code);
    session->settingLanguages = false;
    if (index >= 0) PresetNewLanguage(dialog, index, code);
}

// OK becomes the default button and takes the focus, unless the user has
// put the focus somewhere already.
void EnableOk(HWND dialog) {
    HWND ok = GetDlgItem(dialog, ID_OK_BUTTON);
    EnableWindow(ok, TRUE);
    SendMessageW(dialog, DM_SETDEFID, ID_OK_BUTTON, 0);
    SetupSession* session = Session();
    HWND focus = GetFocus();
    if (!focus || focus == dialog || focus == session->initialFocus)
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
}

void FinishScan(HWND dialog, const PassEvent* event) {
    SetupSession* session = Session();
    JoinWorker();
    session->replay = TakeScanCache(session->scan);
    FreeScanJob(session->scan);
    session->scan = nullptr;
    KillTimer(dialog, TIMER_SHOW_CHECKING);
    ShowProgress(dialog, false, 0, 0);
    SetStatus(dialog, L"");
    if (event->value != 0) {
        ShowTableMessage(dialog, STRING_BROKEN_FILE, gInstallerState->setupPath, MB_ICONERROR);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return;
    }
    PublishArchiveHeader(event->productCode, event->windowClass, event->mainProgram);
    ProposeProgramsDestination(dialog);
    session->phase = PHASE_READY;
    EnableOk(dialog);
}

void Apply(HWND dialog, const PassEvent* event) {
    InstallerState* state = gInstallerState;
    switch (event->kind) {
        case EVENT_HEADER:
            // Needed now for the remembered folder; published again, as the
            // pass's result, when the whole package has been checked.
            PublishArchiveHeader(event->productCode, event->windowClass, event->mainProgram);
            ProposeRememberedDestination(dialog);
            break;
        case EVENT_TITLE: SetWindowTextA(dialog, event->Narrow()); break;
        case EVENT_PRODUCT_LABEL:
            SetProductFont(dialog);
            SetDlgItemTextA(dialog, ID_PRODUCT_LABEL, event->Narrow());
            break;
        case EVENT_PLATFORM_LABEL: SetDlgItemTextA(dialog, ID_PLATFORM_LABEL, event->Narrow()); break;
        case EVENT_PRODUCT_NAME:
            state->productName[0] = 0;
            AppendBoundedA(event->Narrow(), state->productName, PRODUCT_NAME_CAPACITY);
            ProposeProgramsDestination(dialog);
            break;
        case EVENT_LANGUAGE_FILE_BASE:
            CopyBounded(event->Wide(), state->languageFileBase, LANGUAGE_FILE_BASE_CAPACITY);
            break;
        case EVENT_PLATFORM_FOLDERS: state->platformFolders = static_cast<uint8_t>(event->value); break;
        case EVENT_LANGUAGE: AddFoundLanguage(dialog, event); break;
        case EVENT_PROGRESS:
            if (IsWindowVisible(GetDlgItem(dialog, ID_PROGRESS_BAR)))
                ShowProgress(dialog, true, event->done, event->total);
            break;
        case EVENT_DONE: FinishScan(dialog, event); break;
    }
}

}  // namespace

void StartScan(HWND dialog) {
    SetupSession* session = Session();
    char title[DESCRIPTION_CAPACITY];
    title[0] = 0;
    GetWindowTextA(dialog, title, DESCRIPTION_CAPACITY - 1);
    session->scan = CreateScanJob(gInstallerState->setupFile, gInstallerState->setupFileError, title,
                                  DialogSink(dialog), gInstallerState->replayBudget);
    if (!session->scan) {
        ShowSystemError(dialog, ERROR_NOT_ENOUGH_MEMORY, nullptr);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return;
    }
    session->phase = PHASE_CHECKING;
    SetTimer(dialog, TIMER_SHOW_CHECKING, kQuietCheckMilliseconds, nullptr);
    session->worker = ThreadStart(RunScanJob, session->scan);
    if (session->worker) return;
    ShowSystemError(dialog, 0, nullptr);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

void OnScanEvent(HWND dialog, PassEvent* event) {
    if (!Session()->focusNoted) {
        Session()->focusNoted = true;
        Session()->initialFocus = GetFocus();
    }
    Apply(dialog, event);
    FreePassEvent(event);
}

void OnCheckingTimer(HWND dialog) {
    KillTimer(dialog, TIMER_SHOW_CHECKING);
    if (Session()->phase != PHASE_CHECKING) return;
    wchar_t text[256];
    LookupString(gInstallerState->strings, STRING_CHECKING, text, 256);
    SetStatus(dialog, text);
    ShowProgress(dialog, true, 0, 0);
}
