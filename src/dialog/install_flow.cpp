#include "dialog/install_flow.h"

#include "core/control_ids.h"
#include "core/installer_state.h"
#include "core/string_tables.h"
#include "dialog/language_list.h"
#include "dialog/setup_session.h"
#include "install/instance_shutdown.h"
#include "support/bounded_text.h"
#include "support/destination_path.h"
#include "support/files_messages.h"

namespace {

// How long the product gets to close its windows (its user may have work to
// save), and how often a window that is still there is asked again.
constexpr uint64_t kProductWaitMilliseconds = 15000;
constexpr uint64_t kCloseRequestInterval = 2000;
constexpr UINT kProductPollMilliseconds = 250;

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The product as the messages name it: its name, else its window class.
void ProductName(wchar_t* name, int capacity) {
    const char* product = gInstallerState->productName[0] ? gInstallerState->productName : Session()->windowClass;
    ToWide(product, name, capacity);
}

void ShowProductText(HWND dialog, int16_t id, wchar_t* text, int capacity) {
    wchar_t name[PRODUCT_NAME_CAPACITY];
    ProductName(name, PRODUCT_NAME_CAPACITY);
    LookupStringWith(gInstallerState->strings, id, name, text, capacity);
    (void)dialog;
}

// Back to the state before OK, for another try.
void ReturnToChoices(HWND dialog) {
    SetupSession* session = Session();
    FreeInstallJob(session->install);
    session->install = nullptr;
    session->phase = PHASE_READY;
    ShowProgress(dialog, false, 0, 0);
    SetStatus(dialog, L"");
    EnableChoices(dialog, true);
}

void StartInstallWorker(HWND dialog) {
    SetupSession* session = Session();
    session->phase = PHASE_INSTALLING;
    SetStatus(dialog, L"");
    ShowProgress(dialog, true, 0, 0);
    session->worker = ThreadStart(RunInstallJob, session->install);
    if (session->worker) return;
    ShowSystemError(dialog, 0, nullptr);
    ReturnToChoices(dialog);
}

void GiveUpWaiting(HWND dialog) {
    wchar_t text[512];
    ShowProductText(dialog, STRING_CLOSE_PRODUCT, text, 512);
    wchar_t title[1024];
    title[0] = 0;
    GetWindowTextW(dialog, title, 1024);
    ShowMessage(dialog, text, title, MB_ICONWARNING);
    ReturnToChoices(dialog);
}

}  // namespace

void OnOk(HWND dialog) {
    SetupSession* session = Session();
    if (session->phase != PHASE_READY) return;
    wchar_t folder[1024];
    folder[0] = 0;
    GetDlgItemTextW(dialog, ID_DESTINATION_EDIT, folder, 1022);
    // What is remembered, registered and put in shortcuts is the full path;
    // a relative one would depend on where the setup happens to run.
    int32_t problem = TrimDestination(folder);
    if (!folder[0]) return;
    if (problem == 0) {
        ToFullPath(folder);
        problem = CleanDestinationComponents(folder, 1024);
    }
    if (problem != 0) {
        ShowSystemError(dialog, static_cast<DWORD>(problem), nullptr);
        return;
    }
    session->settingDestination = true;
    SetDlgItemTextW(dialog, ID_DESTINATION_EDIT, folder);
    session->settingDestination = false;
    int count = 0;
    LanguageChoice* languages = ReadLanguageChoices(GetDlgItem(dialog, ID_LANGUAGE_LIST), &count);
    session->install = CreateInstallJob(folder, languages, count, DialogSink(dialog), &session->replay);
    MemFree(languages);
    if (!session->install) {
        ShowSystemError(dialog, ERROR_NOT_ENOUGH_MEMORY, nullptr);
        return;
    }
    session->install->programGroup = Checked(dialog, ID_PROGRAM_GROUP_BOX);
    session->install->desktopShortcut = Checked(dialog, ID_DESKTOP_BOX);
    session->install->quickLaunchShortcut = Checked(dialog, ID_QUICK_LAUNCH_BOX);
    EnableChoices(dialog, false);

    // Running copies of the product are asked to close before anything is
    // written; their windows are found by the product's class, or its name.
    InstallerState* state = gInstallerState;
    session->windowClass[0] = 0;
    AppendBoundedA(state->windowClass[0] ? state->windowClass : state->productName, session->windowClass,
                   WINDOW_CLASS_CAPACITY);
    if (FindProductWindows(session->windowClass, true) == 0) {
        StartInstallWorker(dialog);
        return;
    }
    session->phase = PHASE_WAITING_FOR_PRODUCT;
    session->waitStart = session->lastCloseRequest = MonotonicMilliseconds();
    wchar_t text[512];
    ShowProductText(dialog, STRING_WAITING_FOR_PRODUCT, text, 512);
    SetStatus(dialog, text);
    ShowProgress(dialog, true, 0, 0);
    SetTimer(dialog, TIMER_WAIT_FOR_PRODUCT, kProductPollMilliseconds, nullptr);
}

void OnProductWaitTimer(HWND dialog) {
    SetupSession* session = Session();
    if (session->phase != PHASE_WAITING_FOR_PRODUCT) {
        KillTimer(dialog, TIMER_WAIT_FOR_PRODUCT);
        return;
    }
    uint64_t now = MonotonicMilliseconds();
    bool askAgain = now - session->lastCloseRequest >= kCloseRequestInterval;
    if (askAgain) session->lastCloseRequest = now;
    if (FindProductWindows(session->windowClass, askAgain) == 0) {
        KillTimer(dialog, TIMER_WAIT_FOR_PRODUCT);
        StartInstallWorker(dialog);
    } else if (now - session->waitStart >= kProductWaitMilliseconds) {
        KillTimer(dialog, TIMER_WAIT_FOR_PRODUCT);
        GiveUpWaiting(dialog);
    }
}

void OnInstallEvent(HWND dialog, PassEvent* event) {
    SetupSession* session = Session();
    if (event->kind == EVENT_PROGRESS) {
        ShowProgress(dialog, true, event->done, event->total);
        SetStatus(dialog, event->Wide());
    } else if (event->kind == EVENT_DONE) {
        JoinWorker();
        ShowProgress(dialog, true, event->total, event->total);
        SetStatus(dialog, L"");
        if (FinishInstall(dialog, session->install) == 0) {
            FreeInstallJob(session->install);
            session->install = nullptr;
            ReleaseStreamCache(&session->replay);
            EndDialog(dialog, 0);
        } else {
            ReturnToChoices(dialog);
        }
    }
    FreePassEvent(event);
}
