// Thin Windows wrappers: a path test, full paths, zeroed memory, folder
// trees, a message box with a given text and one with the system's text for
// an error code.
#pragma once

#include <windows.h>

// 0 when a file or folder exists at the path, -1 otherwise.
int PathExists(const wchar_t* path);
// Replaces the path (a 1024-character buffer) by its full form; unchanged on failure.
void ToFullPath(wchar_t* path);
void* AllocZeroed(size_t size);
void FreeAndNull(void** pointerVariable);
// Creates a folder and its missing parents: 0, 2 (cannot, or it exists, or
// the walk reached a parent of 3 characters or fewer) or 3.
int CreateDirectoryTree(const wchar_t* path);

// A modal message box captioned with the file-name part of captionPath;
// 2 without a box when the text is empty.
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* captionPath, UINT style);
void FormatSystemMessage(DWORD code, wchar_t* buffer, unsigned capacity);
// An error box with the system's text for code (0: the thread's last error).
int ShowSystemError(HWND owner, DWORD code, const wchar_t* captionPath);
