#include "support/files_messages.h"

#include "support/bounded_text.h"

int PathExists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? 0 : -1; }

void ToFullPath(wchar_t* path) {
    wchar_t full[PATH_CAPACITY];
    full[0] = 0;
    DWORD length = GetFullPathNameW(path, PATH_CAPACITY, full, nullptr);
    // A result of the buffer's size or more is the size it would need.
    if (length > 0 && length < PATH_CAPACITY) CopyBounded(full, path, PATH_CAPACITY);
}

void* AllocZeroed(size_t size) { return size ? HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size) : nullptr; }

void FreeAndNull(void** pointerVariable) {
    if (*pointerVariable) HeapFree(GetProcessHeap(), 0, *pointerVariable);
    *pointerVariable = nullptr;
}

int CreateDirectoryTree(const wchar_t* path) {
    if (CreateDirectoryW(path, nullptr)) return 0;
    if (LastErrorOr(0) != ERROR_PATH_NOT_FOUND) return 2;
    wchar_t parent[PATH_CAPACITY];
    SetBounded(path, parent, PATH_CAPACITY);
    StripLastComponent(parent);
    if (WideLength(parent) <= 3) return 2;
    int result = CreateDirectoryTree(parent);
    if (result != 0) return result;
    return CreateDirectoryW(path, nullptr) ? 0 : 3;
}

int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* captionPath, UINT style) {
    if (!text || !text[0]) return 2;
    if (!owner) owner = GetActiveWindow();
    const wchar_t* caption = captionPath + FileNameOffset(captionPath);
    if (!caption[0]) caption = captionPath;
    return MessageBoxW(owner, text, caption, style);
}

void FormatSystemMessage(DWORD code, wchar_t* buffer, unsigned capacity) {
    if (!buffer || capacity == 0) return;
    buffer[0] = 0;
    buffer[capacity - 1] = 0;
    wchar_t* text = nullptr;
    // No insert arguments exist, so inserts must be left as they stand
    // rather than read from nowhere.
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (FormatMessageW(flags, nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr) && text)
        AppendBounded(text, buffer, static_cast<int>(capacity) - 1);
    if (text) LocalFree(text);
}

int ShowSystemError(HWND owner, DWORD code, const wchar_t* captionPath) {
    wchar_t text[512] = {};
    if (code == 0) code = static_cast<DWORD>(LastErrorOr(0));
    if (code == 0) return 0;
    FormatSystemMessage(code, text, 512);
    if (!text[0]) return 2;
    return ShowMessage(owner, text, captionPath ? captionPath : L"", MB_ICONERROR);
}
