#include "install/cleanup.h"

#include <windows.h>

#include "support/bounded_text.h"

namespace {

bool HasSuffix(const wchar_t* name, const wchar_t* suffix) {
    int length = WideLength(name);
    return length >= 4 && lstrcmpiW(name + length - 4, suffix) == 0;
}

}  // namespace

void RenameOldPsapi(const wchar_t* destinationFolder) {
    wchar_t oldPath[1024], newPath[1024];
    SetBounded(destinationFolder, oldPath, 1024);
    AppendSeparator(oldPath, 1024);
    CopyBounded(oldPath, newPath, 1024);
    AppendNarrow("PSAPI.DLL", oldPath, 1024);
    AppendNarrow("NV", newPath, 1024);
    AppendNarrow("PSAPI.DLL", newPath, 1024);
    MoveFileW(oldPath, newPath);
}

void DeleteLanguageFiles(const wchar_t* folder, const char* code) {
    wchar_t pattern[1024];
    SetBounded(folder, pattern, 1024);
    AppendPathComponent(L"*_", pattern, 1024);
    AppendNarrow(code, pattern, 1024);
    AppendBounded(L".*", pattern, 1024);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* name = found.cFileName;
        if (WideLength(name) <= 6 || !(HasSuffix(name, L".LNG") || HasSuffix(name, L".CHM"))) continue;
        wchar_t path[1024];
        SetBounded(folder, path, 1024);
        AppendPathComponent(name, path, 1024);
        DeleteFileW(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
