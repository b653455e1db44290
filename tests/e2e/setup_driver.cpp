#include "setup_driver.h"

#include <commctrl.h>

namespace {

struct Search {
    DWORD processId;
    HWND skip;
    HWND found;
};

BOOL CALLBACK FindDialogOf(HWND window, LPARAM data) {
    Search* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || window == search->skip || !IsWindowVisible(window)) return TRUE;
    wchar_t name[32];
    GetClassNameW(window, name, 32);
    if (lstrcmpW(name, L"#32770") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

HWND WaitForWindow(DWORD processId, HWND skip, HANDLE process, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        Search search = {processId, skip, nullptr};
        EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

// A control of another process reads and writes only that process's memory:
// a block is lent there, the message gets the address of one of its fields,
// and the block is copied back afterwards.
template <typename Block>
class RemoteBlock {
public:
    explicit RemoteBlock(DWORD processId)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)) {
        if (process_)
            block_ = static_cast<Block*>(VirtualAllocEx(process_, nullptr, sizeof(Block), MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (block_) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool ok() const { return block_ != nullptr; }
    // The block's address in the other process, for pointers inside it.
    Block* there() const { return block_; }
    LRESULT Send(HWND window, UINT message, WPARAM wParam, Block* local, const void* field) {
        WriteProcessMemory(process_, block_, local, sizeof(Block), nullptr);
        size_t offset = static_cast<const char*>(field) - reinterpret_cast<const char*>(local);
        LRESULT result = SendMessageW(window, message, wParam, reinterpret_cast<LPARAM>(reinterpret_cast<char*>(block_) + offset));
        ReadProcessMemory(process_, block_, local, sizeof(Block), nullptr);
        return result;
    }

private:
    HANDLE process_;
    Block* block_ = nullptr;
};

struct ListItemBlock {
    LVITEMW item;
    wchar_t text[256];
};

struct TreeItemBlock {
    TVITEMW item;
    wchar_t text[260];
};

}  // namespace

SetupRun::SetupRun(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
}

SetupRun::~SetupRun() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
}

HWND SetupRun::WaitForDialogShown(DWORD milliseconds) {
    if (!process_) return nullptr;
    dialog_ = WaitForWindow(processId_, nullptr, process_, milliseconds);
    return dialog_;
}

HWND SetupRun::WaitForDialog(DWORD milliseconds) {
    DWORD start = GetTickCount();
    if (!WaitForDialogShown(milliseconds)) return nullptr;
    // Ready once the package has been checked: OK is enabled.
    while (!IsWindowEnabled(GetDlgItem(dialog_, 99))) {
        if (GetTickCount() - start > milliseconds || WaitForSingleObject(process_, 20) == WAIT_OBJECT_0) return nullptr;
    }
    return dialog_;
}

HWND SetupRun::WaitForOtherDialog(DWORD milliseconds, bool messageBox) {
    if (!process_) return nullptr;
    // The setup dialog is the one to skip; without one (a scan that failed
    // early) any will do. A message box has its text in control 0xFFFF.
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        HWND box = WaitForWindow(processId_, dialog_, process_, 50);
        if (box && box != dialog_ && (!messageBox || GetDlgItem(box, 0xFFFF))) return box;
        if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return nullptr;
        Sleep(50);
    }
    return nullptr;
}

long SetupRun::WaitForExit(DWORD milliseconds) {
    if (!process_ || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

std::wstring ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

bool IsChecked(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool IsShown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

std::vector<ListItem> ListItems(HWND dialog, int id, DWORD processId) {
    std::vector<ListItem> items;
    HWND list = GetDlgItem(dialog, id);
    RemoteBlock<ListItemBlock> remote(processId);
    if (!list || !remote.ok()) return items;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListItemBlock local = {};
        local.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
        local.item.iItem = i;
        local.item.stateMask = LVIS_STATEIMAGEMASK;
        local.item.pszText = remote.there()->text;
        local.item.cchTextMax = 256;
        remote.Send(list, LVM_GETITEMW, 0, &local, &local.item);
        items.push_back(ListItem{local.text, (local.item.state & LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(1),
                                 local.item.lParam});
    }
    return items;
}

std::wstring MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool SaveScreenshot(HWND window, const std::wstring& path) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowBytes * height;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    bool ok = out != INVALID_HANDLE_VALUE;
    DWORD written;
    if (ok) {
        ok = WriteFile(out, &file, sizeof file, &written, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
             WriteFile(out, bits, rowBytes * height, &written, nullptr);
        CloseHandle(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

void SetListItemChecked(HWND dialog, int id, DWORD processId, int index, bool checked) {
    HWND list = GetDlgItem(dialog, id);
    RemoteBlock<LVITEMW> remote(processId);
    if (!list || !remote.ok()) return;
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    remote.Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), &item, &item);
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                        5000, nullptr);
}

void SetChecked(HWND dialog, int id, bool checked) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string UnixPath(const std::wstring& path) {
    typedef char* (*UnixName)(const wchar_t*);
    UnixName convert = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return std::string();
    char* name = convert(path.c_str());
    std::string result = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::string RunUnix(const std::string& commandLine) {
    wchar_t temporary[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    GetTempFileNameW(temporary, L"out", 0, file);
    DeleteFileW(file);
    // Wine splits a Unix program's command line by the Windows rules, so the
    // shell's script is one quoted argument and the output file follows it.
    // The process handle of a Unix program tells nothing of its end, so the
    // output appears under its final name only when the command is done.
    std::string command = "/bin/sh -c \"{ " + commandLine + "; } > \\\"$0.part\\\" 2>&1; mv \\\"$0.part\\\" \\\"$0\\\"\" \"" +
                          UnixPath(file) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string result;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return result;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    HANDLE in = INVALID_HANDLE_VALUE;
    for (int waited = 0; waited < 30000 && in == INVALID_HANDLE_VALUE; waited += 50) {
        in = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in == INVALID_HANDLE_VALUE) Sleep(50);
    }
    char buffer[4096];
    DWORD got = 0;
    while (in != INVALID_HANDLE_VALUE && ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
        result.append(buffer, got);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    DeleteFileW(file);
    return result;
}

std::wstring SelectedTreeItem(HWND tree, DWORD processId) {
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    RemoteBlock<TreeItemBlock> remote(processId);
    if (!item || !remote.ok()) return L"";
    TreeItemBlock local = {};
    local.item.mask = TVIF_TEXT;
    local.item.hItem = item;
    local.item.pszText = remote.there()->text;
    local.item.cchTextMax = 260;
    remote.Send(tree, TVM_GETITEMW, 0, &local, &local.item);
    return local.text;
}
