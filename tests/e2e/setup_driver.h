// Drives a real setup.exe from another process, as a person would: starts
// it, finds its dialog, reads what it shows, presses its buttons, answers its
// message boxes and collects its exit code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ListItem {
    std::wstring text;
    bool checked;
    LPARAM code;
};

class SetupRun {
public:
    // Starts the program; the environment is the driver's own.
    explicit SetupRun(const std::wstring& program, const std::wstring& arguments = L"");
    ~SetupRun();

    bool started() const { return process_ != nullptr; }
    // The setup dialog, once it has appeared and checked its package, so that
    // OK is enabled (null when it did not).
    HWND WaitForDialog(DWORD milliseconds = 20000);
    // The setup dialog as soon as it is visible, its check perhaps still running.
    HWND WaitForDialogShown(DWORD milliseconds = 20000);
    // A top-level window of the process other than the setup dialog (a
    // message box), once it appears.
    HWND WaitForMessageBox(DWORD milliseconds = 20000) { return WaitForOtherDialog(milliseconds, true); }
    // Any other dialog of the process, such as the folder browser.
    HWND WaitForOtherDialog(DWORD milliseconds, bool messageBox = false);
    // Waits for the process to end; its exit code, or -1 when it did not end.
    long WaitForExit(DWORD milliseconds = 20000);
    DWORD processId() const { return processId_; }

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND dialog_ = nullptr;
};

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsShown(HWND dialog, int id);
// The language list's items, read from the other process's list view.
std::vector<ListItem> ListItems(HWND dialog, int id, DWORD processId);
// Sets a language item's check box in the other process's list view.
void SetListItemChecked(HWND dialog, int id, DWORD processId, int index, bool checked);
void SetControlText(HWND dialog, int id, const std::wstring& text);
void SetChecked(HWND dialog, int id, bool checked);
// The Unix path of a Windows path (Wine), for Unix tools.
std::string UnixPath(const std::wstring& path);
// Runs a Unix command line through /bin/sh and returns what it printed.
std::string RunUnix(const std::string& commandLine);
// The text of the selected item of a tree view in the other process.
std::wstring SelectedTreeItem(HWND tree, DWORD processId);
// The text of a message box.
std::wstring MessageBoxText(HWND box);
// Presses a button of a dialog or message box as a click would.
void Press(HWND dialog, int id);
// Saves a window's image from the screen as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::wstring& path);
