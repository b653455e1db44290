// Files and folders in memory, behind the platform layer's file calls: the
// backend that tests and fuzz targets link in place of the POSIX one, so that
// a run creates, writes and deletes files at the cost of a few allocations.
// The shipped programs never contain it.
//
// It keeps Windows' rules where the core could notice them:
//   - '\' and '/' separate; "X:" starts a drive, every drive exists; a path
//     without one starts at a root of its own; "." and ".." are resolved;
//   - names compare without letter case (Latin, Greek and Cyrillic letters);
//   - a name's trailing dots and spaces are dropped, as Windows drops them
//     from the last part of a path (and one trailing dot from the others);
//   - a name with < > : " | ? * or a control character is refused with
//     ERROR_INVALID_NAME (123), where Windows would refuse it or make a stream;
//   - a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, COM/LPT with a
//     superscript digit, CONIN$, CONOUT$; with any extension) is refused with
//     ERROR_INVALID_NAME too, where Windows would open the device;
//   - a file open for writing is opened with nobody else's handle on it, and
//     shares nothing but reading; opening, deleting or replacing a file that
//     a handle holds in a way it does not share fails with
//     ERROR_SHARING_VIOLATION (32);
//   - a read-only file cannot be written or deleted (ERROR_ACCESS_DENIED);
//     FileReplace clears the attribute of the file it replaces, as the Win32
//     backend does;
//   - a missing file is ERROR_FILE_NOT_FOUND (2), a missing folder on the way
//     ERROR_PATH_NOT_FOUND (3), an existing name for a new file
//     ERROR_FILE_EXISTS (80), a folder opened as a file ERROR_ACCESS_DENIED;
//   - with a capacity set, a write beyond it fails with ERROR_DISK_FULL (112).
// The platform layer's fault injection works here as in the other backends.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

// Forgets every file and folder, the capacity and the counts. Handles still
// open stay usable but reach nothing any more.
void MemoryFilesReset();

// Creates a folder and the folders above it; false when a file is in the way
// or a name is refused.
bool MemoryFolderCreate(const WideChar* path);

// Writes a whole file (its folder must exist); false with the platform's last
// error when the platform would refuse.
bool MemoryFileStore(const WideChar* path, const void* data, size_t size);

struct MemoryFile {
    std::u16string path;   // as spelled when created, with '\' between parts
    std::vector<uint8_t> data;
    uint64_t lastWrite;    // file-time ticks
    bool readOnly;
};

// Every file, or every file below a folder, ordered by path.
std::vector<MemoryFile> MemoryFilesList(const WideChar* folder = nullptr);
// One file; false when there is none at the path.
bool MemoryFileLoad(const WideChar* path, MemoryFile* file);

bool MemoryFileSetReadOnly(const WideChar* path, bool readOnly);

// The bytes all files may hold together; 0, the default, for no limit.
void MemoryFilesSetCapacity(uint64_t bytes);

// Handles opened and not yet closed.
uint32_t MemoryFilesOpenHandles();

// Calls refused for a name Windows would not take as a plain file name (a
// device, a stream or a forbidden character) since the last reset.
uint32_t MemoryFilesRefusedNames();
