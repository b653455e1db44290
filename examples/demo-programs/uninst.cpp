// The demo product's uninstaller: removes the files beside it, its entry in
// the list of installed programs, its Start-menu group and desktop shortcut.
// It cannot delete itself while it runs; Windows removes it at the next start.
#include <windows.h>
#include <shlobj.h>

static const wchar_t kProduct[] = L"Norvalent Demo";

static void Join(wchar_t* path, const wchar_t* name) {
    int length = lstrlenW(path);
    if (length > 0 && path[length - 1] != L'\\') lstrcatW(path, L"\\");
    lstrcatW(path, name);
}

static void DeleteFilesBeside(const wchar_t* folder, const wchar_t* self) {
    wchar_t pattern[MAX_PATH];
    lstrcpynW(pattern, folder, MAX_PATH - 4);
    Join(pattern, L"*");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        wchar_t path[MAX_PATH];
        lstrcpynW(path, folder, MAX_PATH - 64);
        Join(path, found.cFileName);
        if (lstrcmpiW(path, self) != 0) DeleteFileW(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

static void DeleteShortcuts() {
    wchar_t path[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path))) {
        Join(path, kProduct);
        wchar_t link[MAX_PATH];
        lstrcpyW(link, path);
        Join(link, L"Norvalent Demo.lnk");
        DeleteFileW(link);
        lstrcpyW(link, path);
        Join(link, L"Uninstall.lnk");
        DeleteFileW(link);
        RemoveDirectoryW(path);
    }
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path))) {
        Join(path, L"Norvalent Demo.lnk");
        DeleteFileW(path);
    }
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (MessageBoxW(nullptr, L"Remove Norvalent Demo from this computer?", kProduct, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 1;
    wchar_t self[MAX_PATH], folder[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    lstrcpyW(folder, self);
    *wcsrchr(folder, L'\\') = 0;
    DeleteFilesBeside(folder, self);
    DeleteShortcuts();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvalent Demo");
    MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MessageBoxW(nullptr, L"Norvalent Demo has been removed.", kProduct, MB_ICONINFORMATION);
    return 0;
}
