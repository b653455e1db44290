// install_timer: times an installer from outside its process, as its user
// waits for it.
//
//   install_timer SETUP DESTINATION [READ_SECONDS]
//     runs our setup: the time until its dialog is visible, until OK is
//     enabled, and from pressing OK (when the user has read the dialog for
//     READ_SECONDS, default 5, and OK is enabled) until the success message.
//   install_timer --silent PROGRAM [ARGUMENT...]
//     runs another installer that needs no user: the time until it ends.
//
// Prints one line of key=seconds pairs; exit code 1 when something did not
// happen as it should.
#include <stdio.h>
#include <windows.h>

#include <string>

#include "setup_driver.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Fail(const char* what) {
    fprintf(stderr, "install_timer: %s\n", what);
    return 1;
}

int Silent(int argc, wchar_t** argv) {
    std::wstring commandLine;
    for (int i = 2; i < argc; ++i) commandLine += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    double start = Now();
    if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return Fail("cannot start the installer");
    WaitForSingleObject(info.hProcess, INFINITE);
    double end = Now();
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    printf("total=%.3f exit=%lu\n", end - start, code);
    return code == 0 ? 0 : 1;
}

// Polls often enough that the polling is not what is measured.
template <typename Condition>
bool PollUntil(Condition condition, double timeout) {
    double start = Now();
    while (!condition()) {
        if (Now() - start > timeout) return false;
        Sleep(2);
    }
    return true;
}

struct BoxSearch {
    DWORD process;
    HWND dialog;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || window == search->dialog || !IsWindowVisible(window)) return TRUE;
    if (!GetDlgItem(window, 0xFFFF)) return TRUE;
    search->found = window;
    return FALSE;
}

// A message box of the process, found at once or not at all.
HWND MessageBoxOf(DWORD process, HWND dialog) {
    BoxSearch search = {process, dialog, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && lstrcmpW(argv[1], L"--silent") == 0) return Silent(argc, argv);
    if (argc != 3 && argc != 4) {
        fputs("usage: install_timer SETUP DESTINATION [READ_SECONDS]\n"
              "       install_timer --silent PROGRAM [ARGUMENT...]\n",
              stderr);
        return 2;
    }
    double read = argc == 4 ? _wtof(argv[3]) : 5.0;
    double start = Now();
    SetupRun run(argv[1]);
    if (!run.started()) return Fail("cannot start the setup");
    HWND dialog = run.WaitForDialogShown(120000);
    double visible = Now();
    if (!dialog) return Fail("no dialog");
    HWND ok = GetDlgItem(dialog, 99);
    if (!PollUntil([&] { return IsWindowEnabled(ok) != 0; }, 600)) return Fail("OK never enabled");
    double ready = Now();
    SetControlText(dialog, 1032, argv[2]);
    double press = visible + read > ready ? visible + read : ready;
    while (Now() < press) Sleep(1);
    double pressed = Now();
    Press(dialog, 99);
    HWND box = nullptr;
    if (!PollUntil([&] { return (box = MessageBoxOf(run.processId(), dialog)) != nullptr; }, 600))
        return Fail("no message");
    double done = Now();
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    Press(box, IDOK);
    long code = run.WaitForExit(60000);
    printf("visible=%.3f ready=%.3f ok_to_done=%.3f wait=%.3f exit=%ld\n", visible - start, ready - start,
           done - pressed, (visible - start) + (pressed - (visible + read) > 0 ? pressed - (visible + read) : 0) +
                               (done - pressed), code);
    if (wcsstr(text, L"successfully") == nullptr) return Fail("the message is not the success message");
    return code == 0 ? 0 : 1;
}
