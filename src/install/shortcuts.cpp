#include "install/shortcuts.h"

#include <shlobj.h>

#include "core/installer_state.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"

void GetSpecialFolder(int csidl, wchar_t* path) {
    path[0] = 0;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return;
    if (!SHGetPathFromIDListW(items, path)) path[0] = 0;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
    }
}

void GetQuickLaunchFolder(wchar_t* path, int capacity) {
    path[0] = 0;
    GetSpecialFolder(CSIDL_APPDATA, path);
    if (!path[0]) return;
    AppendNarrow("\\Microsoft\\Internet Explorer\\Quick Launch", path, capacity);
    int quickLaunch = WideLength(path);
    AppendNarrow("\\User Pinned\\TaskBar", path, capacity);
    if (PathExists(path) == 0) {
        path[0] = 0;
        return;
    }
    path[quickLaunch] = 0;
    if (PathExists(path) != 0) path[0] = 0;
}

int QuickLaunchAvailable() {
    wchar_t path[PATH_CAPACITY];
    GetQuickLaunchFolder(path, PATH_CAPACITY);
    return path[0] ? 1 : 0;
}
