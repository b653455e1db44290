// Runs a setup file the way a person would, on a machine without one: waits
// for the dialog and takes its picture, then presses OK and answers the
// message (with --install) or presses Cancel.
// usage: demo_driver SETUP SCREENSHOT_FOLDER [--install]
#include <stdio.h>
#include <windows.h>

#include <string>

#include "setup_driver.h"

namespace {

// Prints UTF-8, whatever the console's code page.
void Print(const std::wstring& text) {
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr);
    fputs(bytes.c_str(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool install = argc == 4 && lstrcmpW(argv[3], L"--install") == 0;
    if (argc != 3 && !install) {
        fputs("usage: demo_driver SETUP SCREENSHOT_FOLDER [--install]\n", stderr);
        return 2;
    }
    std::wstring folder = argv[2];
    DWORD start = GetTickCount();
    SetupRun run(argv[1]);
    if (!run.started()) {
        fprintf(stderr, "demo_driver: cannot start the setup (error %lu)\n", GetLastError());
        return 1;
    }
    HWND dialog = run.WaitForDialogShown();
    if (!dialog) {
        fputs("demo_driver: the setup dialog did not appear\n", stderr);
        return 1;
    }
    printf("The dialog is on the screen after %.1f s; the package is being checked.\n", (GetTickCount() - start) / 1000.0);
    if (!run.WaitForDialog()) {
        fputs("demo_driver: the setup did not finish checking its package\n", stderr);
        return 1;
    }
    printf("The package is checked after %.1f s: OK is enabled.\n", (GetTickCount() - start) / 1000.0);
    Sleep(500);  // let it paint
    Print(L"Dialog: " + WindowText(dialog) + L"\n");
    Print(L"  destination: " + ControlText(dialog, 1032) + L"\n");
    for (const ListItem& item : ListItems(dialog, 1010, run.processId()))
        Print(std::wstring(L"  language: [") + (item.checked ? L"x" : L" ") + L"] " + item.text + L"\n");
    SaveScreenshot(dialog, folder + L"\\dialog.bmp");
    if (install) {
        DWORD pressed = GetTickCount();
        Press(dialog, 99);
        // A picture of the install under way, once the bar has moved.
        HWND bar = GetDlgItem(dialog, 1048);
        for (int waited = 0; waited < 10000 && SendMessageW(bar, 0x408 /* PBM_GETPOS */, 0, 0) < 200; waited += 20)
            Sleep(20);
        SaveScreenshot(dialog, folder + L"\\progress.bmp");
        HWND box = run.WaitForMessageBox(120000);
        if (!box) {
            fputs("demo_driver: no message after OK\n", stderr);
            return 1;
        }
        printf("Installed %.1f s after OK.\n", (GetTickCount() - pressed) / 1000.0);
        Sleep(300);
        Print(L"Message \"" + WindowText(box) + L"\": " + MessageBoxText(box) + L"\n");
        SaveScreenshot(box, folder + L"\\message.bmp");
        Press(box, IDOK);
    } else {
        Press(dialog, 2);
    }
    long code = run.WaitForExit();
    printf("Setup ended with exit code %ld\n", code);
    return code == 0 ? 0 : 1;
}
