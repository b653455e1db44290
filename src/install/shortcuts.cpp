#include "install/shortcuts.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "core/installer_state.h"
#include "passes/extract_handler.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"
#include "support/name_rule.h"

void ProductFileName(const char* productName, wchar_t* name, int capacity) {
    ToWide(productName, name, capacity);
    MakeSafeName(name, capacity);
}

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

HRESULT CreateShellLink(const wchar_t* linkPath, const wchar_t* target, const wchar_t* workingFolder) {
    IShellLinkW* link = nullptr;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(status)) return status;
    link->SetPath(target);
    link->SetWorkingDirectory(workingFolder);
    link->SetShowCmd(SW_SHOW);
    IPersistFile* file = nullptr;
    status = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(status)) {
        wchar_t path[PATH_CAPACITY];
        CopyBounded(linkPath, path, PATH_CAPACITY);
        status = file->Save(path, TRUE);
        file->Release();
    }
    link->Release();
    return status;
}

namespace {

// A shortcut named linkName in folder (a 1024-character buffer, used up),
// to target, starting in the target's folder.
void CreateShortcutIn(wchar_t* linkPath, const wchar_t* target, const wchar_t* linkName) {
    if (!linkPath[0]) return;
    AppendPathComponent(linkName, linkPath, PATH_CAPACITY);
    AppendNarrow(".lnk", linkPath, PATH_CAPACITY);
    wchar_t workingFolder[PATH_CAPACITY];
    SetBounded(target, workingFolder, PATH_CAPACITY);
    StripLastComponent(workingFolder);
    CreateShellLink(linkPath, target, workingFolder);
}

}  // namespace

void CreateDesktopShortcut(const wchar_t* target, const wchar_t* linkName) {
    if (!linkName[0]) return;
    wchar_t linkPath[PATH_CAPACITY];
    GetSpecialFolder(CSIDL_DESKTOP, linkPath);
    CreateShortcutIn(linkPath, target, linkName);
}

void CreateQuickLaunchShortcut(const wchar_t* target, const wchar_t* linkName) {
    if (!linkName[0]) return;
    wchar_t linkPath[PATH_CAPACITY];
    GetQuickLaunchFolder(linkPath, PATH_CAPACITY);
    CreateShortcutIn(linkPath, target, linkName);
}

void AddGroupShortcut(const wchar_t* linkName, const wchar_t* folder, const wchar_t* fileName,
                      const wchar_t* groupFolder) {
    if (!linkName || !linkName[0] || !fileName || !fileName[0]) return;
    wchar_t workingFolder[PATH_CAPACITY], target[PATH_CAPACITY], linkPath[PATH_CAPACITY];
    SetBounded(folder, workingFolder, PATH_CAPACITY);
    SetBounded(folder, target, PATH_CAPACITY);
    AppendPathComponent(fileName, target, PATH_CAPACITY);
    SetBounded(groupFolder, linkPath, PATH_CAPACITY);
    AppendPathComponent(linkName, linkPath, PATH_CAPACITY);
    AppendNarrow(".lnk", linkPath, PATH_CAPACITY);
    CreateShellLink(linkPath, target, workingFolder);
}

void CreateProgramGroup(const InstallContext* context) {
    wchar_t group[PATH_CAPACITY];
    GetSpecialFolder(CSIDL_COMMON_PROGRAMS, group);
    if (!group[0]) GetSpecialFolder(CSIDL_PROGRAMS, group);
    if (!group[0]) return;
    wchar_t product[PATH_CAPACITY];
    ProductFileName(gInstallerState->productName, product, PATH_CAPACITY);
    AppendPathComponent(product, group, PATH_CAPACITY);
    // An existing group, from an earlier installation, is left untouched.
    if (CreateDirectoryTree(group) != 0) return;
    AddGroupShortcut(product, context->destinationFolder, context->mainProgram, group);
    AddGroupShortcut(L"Uninstall", context->destinationFolder, context->uninstaller, group);
}
