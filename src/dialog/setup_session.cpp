#include "dialog/setup_session.h"

#include <commctrl.h>

#include "core/control_ids.h"
#include "support/files_messages.h"

namespace {

// On the heap: a zeroed global of this size would be stored in the file.
SetupSession* gSession;

bool PostToDialog(void* dialog, PassEvent* event) {
    return PostMessageW(static_cast<HWND>(dialog), WM_PASS_EVENT, 0, reinterpret_cast<LPARAM>(event)) != 0;
}

const int kChoiceControls[] = {ID_OK_BUTTON,         ID_CANCEL_BUTTON, ID_LANGUAGE_LIST,    ID_DESTINATION_EDIT,
                               ID_BROWSE_BUTTON,     ID_PROGRAM_GROUP_BOX, ID_DESKTOP_BOX, ID_QUICK_LAUNCH_BOX};

// The bar's range is a signed 32-bit value while a stream may reach 4 GiB:
// it counts thousandths.
constexpr int kProgressRange = 1000;

}  // namespace

bool CreateSetupSession() {
    gSession = static_cast<SetupSession*>(AllocZeroed(sizeof(SetupSession)));
    return gSession != nullptr;
}

void ReleaseSetupSession() {
    void* block = gSession;
    FreeAndNull(&block);
    gSession = nullptr;
}

SetupSession* Session() { return gSession; }

PassEventSink DialogSink(HWND dialog) { return PassEventSink{dialog, PostToDialog}; }

void JoinWorker() {
    if (!gSession->worker) return;
    ThreadJoin(gSession->worker);
    gSession->worker = nullptr;
}

void StopWorker(HWND dialog) {
    if (gSession->scan) gSession->scan->stop.store(true, std::memory_order_release);
    if (gSession->install) gSession->install->extract.stop.store(true, std::memory_order_release);
    JoinWorker();
    MSG message;
    while (PeekMessageW(&message, dialog, WM_PASS_EVENT, WM_PASS_EVENT, PM_REMOVE))
        FreePassEvent(reinterpret_cast<PassEvent*>(message.lParam));
    FreeScanJob(gSession->scan);
    gSession->scan = nullptr;
    FreeInstallJob(gSession->install);
    gSession->install = nullptr;
    ReleaseStreamCache(&gSession->replay);
}

void EnableChoices(HWND dialog, bool enabled) {
    for (int id : kChoiceControls) EnableWindow(GetDlgItem(dialog, id), enabled);
    EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void ShowProgress(HWND dialog, bool shown, uint32_t done, uint32_t total) {
    HWND bar = GetDlgItem(dialog, ID_PROGRESS_BAR);
    if (!bar) return;
    SendMessageW(bar, PBM_SETRANGE32, 0, kProgressRange);
    int position = total ? static_cast<int>(static_cast<uint64_t>(done) * kProgressRange / total) : 0;
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    ShowWindow(bar, shown ? SW_SHOWNA : SW_HIDE);
}

void SetStatus(HWND dialog, const wchar_t* text) { SetDlgItemTextW(dialog, ID_STATUS_LINE, text); }
