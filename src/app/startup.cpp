// The entry point of setup.exe: the state, OLE, the dialog, and exit code 0
// whatever happened.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "core/installer_state.h"
#include "core/string_tables.h"
#include "dialog/setup_dialog.h"
#include "dialog/setup_session.h"
#include "support/files_messages.h"

namespace {

// The benchmarks build a stub without the replay (SETUP_REPLAY_BUDGET 0), to
// time the install that decodes beside writing.
uint32_t ReplayBudget() {
#ifdef SETUP_REPLAY_BUDGET
    return SETUP_REPLAY_BUDGET;
#else
    uint64_t budget = AvailablePhysicalMemory() / 4;
    return budget < (1u << 30) ? static_cast<uint32_t>(budget) : (1u << 30);
#endif
}

// A setup runs elevated from a downloads folder: DLLs must come from the
// system folder only, never from beside the setup. Systems that predate the
// call (Vista, 7 without its update) at least lose the current folder.
void RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDirectories)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SetDirectories restrict = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!restrict || !restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace

void InitInstaller(HINSTANCE instance) {
    InitCommonControls();
    ZeroMemory(gInstallerState, sizeof *gInstallerState);
    gInstallerState->appIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    SelectUiLanguage();
    GetModuleFileNameW(nullptr, gInstallerState->setupPath, PATH_CAPACITY);
    gInstallerState->setupPath[PATH_CAPACITY - 1] = 0;
    gInstallerState->setupFile = FileOpenRead(gInstallerState->setupPath);
    if (gInstallerState->setupFile == NO_FILE) gInstallerState->setupFileError = LastErrorOr(ERROR_ACCESS_DENIED);
    gInstallerState->replayBudget = ReplayBudget();
}


int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearch();
    void* state = AllocZeroed(sizeof(InstallerState));
    if (!state || !CreateSetupSession()) return 0;
    gInstallerState = static_cast<InstallerState*>(state);
    OleInitialize(nullptr);
    InitInstaller(instance);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(SETUP_DIALOG_ID), nullptr, SetupDialogProc, 0);
    OleUninitialize();
    if (gInstallerState->setupFile != NO_FILE) FileClose(gInstallerState->setupFile);
    ReleaseSetupSession();
    FreeAndNull(&state);
    gInstallerState = nullptr;
    return 0;
}

// The process starts here, without the C runtime's start-up code, which the
// installer does not need: no arguments, no static constructors, exit code 0.
extern "C" __attribute__((used)) void SetupEntry() {
    ExitProcess(static_cast<UINT>(wWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWDEFAULT)));
}
