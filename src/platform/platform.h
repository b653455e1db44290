// The small platform layer under the portable core.
//
// The payload reader, the archive pass, the bounded text functions and the
// string lookup need only what is declared here: files, the last error as a
// Windows error code, the ANSI code page to and from UTF-16, and a local
// calendar date turned into a UTC file time. Two backends fill it:
//   platform_win32.cpp  the real thing, for setup.exe and mksetup.exe;
//   platform_posix.cpp  Linux, for mksetup, unit tests, fuzzing and benchmarks.
// Both behave alike where the core can see it: same error codes, same
// code page (Windows-1252 natively), same file-time scale.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Wide text is UTF-16 in both builds: wchar_t under Windows, char16_t elsewhere.
#ifdef _WIN32
typedef wchar_t WideChar;
#define WIDE(text) L##text
#else
typedef char16_t WideChar;
#define WIDE(text) u##text
#endif

// Windows error codes that the core produces or tests for.
enum : int32_t {
    ERROR_CODE_ACCESS_DENIED = 5,
    ERROR_CODE_NOT_ENOUGH_MEMORY = 8,
    ERROR_CODE_FILE_EXISTS = 80,
};

// An open file. Under Windows a HANDLE; under POSIX a descriptor.
typedef void* FileHandle;
#define NO_FILE ((FileHandle)(intptr_t)-1)

// 100-nanosecond intervals since 1601-01-01 UTC, as Windows counts them.
// A value of 0 means "no time": setting it leaves the file's times unchanged.
struct FileTime {
    uint32_t low;
    uint32_t high;
};

// Opens an existing file for reading, others may read too. NO_FILE on failure.
FileHandle FileOpenRead(const WideChar* path);
// Creates or truncates a file for writing, others may read. NO_FILE on failure.
FileHandle FileCreateAlways(const WideChar* path);
// Creates a file that does not exist yet, for writing, others may read.
// NO_FILE on failure; ERROR_FILE_EXISTS (80) when something has the name.
FileHandle FileCreateNew(const WideChar* path);
// Reads up to count bytes; *done is what came. False on failure (then *done = 0).
bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done);
// The same from the given offset, whatever the handle's position, so that
// several readers in turn can share one handle. The position afterwards is
// the backend's (Windows moves it, POSIX does not): mixing the two calls on
// one handle takes a FileSeek.
bool FileReadAt(FileHandle file, uint64_t offset, void* buffer, uint32_t count, uint32_t* done);
// Writes count bytes; *done is what went. False on failure.
bool FileWrite(FileHandle file, const void* data, uint32_t count, uint32_t* done);
// Moves the position to offset from the start of the file.
bool FileSeek(FileHandle file, int32_t offset);
// The low 32 bits of the size; 0xFFFFFFFF when the size cannot be had.
uint32_t FileSize32(FileHandle file);
// Sets creation, last-access and last-write time (POSIX has no creation time).
bool FileSetTimes(FileHandle file, const FileTime* time);
// Closes the handle whatever happens; false when the system reported an error
// (for a file being written, data may then not have reached the disk).
bool FileClose(FileHandle file);

// Whether a file or folder exists at the path.
bool FileOrFolderExists(const WideChar* path);
// Deletes a file; false when it cannot.
bool DeleteFileAt(const WideChar* path);
// Moves the file at from over the one at to, replacing it whole, also when
// it is read-only (the attribute is cleared first); false when it cannot,
// with both left as they were.
bool FileReplace(const WideChar* from, const WideChar* to);

// The calling thread's last error, as a Windows error code.
uint32_t LastErrorCode();
void SetLastErrorCode(uint32_t code);
// The last error, or fallback when a failed call left none.
inline int32_t LastErrorOr(int32_t fallback) {
    uint32_t code = LastErrorCode();
    return code != 0 ? static_cast<int32_t>(code) : fallback;
}

// Heap memory for the core; MemAlloc(0) is null.
void* MemAlloc(size_t size);
void MemFree(void* block);

// Converts narrow text of the ANSI code page into at most capacity - 1 UTF-16
// units at destination, cutting longer text; writes no terminator. Returns the
// number of units written.
int AnsiToWide(const char* source, int sourceLength, WideChar* destination, int capacity);
// The reverse: at most capacity - 1 bytes, unrepresentable characters become
// the code page's default character. Returns the number of bytes written.
int WideToAnsi(const WideChar* source, int sourceLength, char* destination, int capacity);

// The system's default language as a Windows language id (0x0407 German,
// 0x0410 Italian, ...). Off Windows it follows LC_ALL, LC_MESSAGES or LANG.
uint16_t SystemDefaultLangId();

// 12:00 local time on a calendar date, as a UTC file time. False when the date
// is no calendar date (or lies outside what the system can represent).
bool LocalNoonToFileTime(int year, int month, int day, FileTime* result);

// A thread running proc(argument). ThreadJoin waits for its end and releases
// it; every started thread is joined exactly once.
typedef void* ThreadHandle;
ThreadHandle ThreadStart(void (*proc)(void* argument), void* argument);  // null on failure
void ThreadJoin(ThreadHandle thread);
void SleepMilliseconds(uint32_t milliseconds);

// A lock with a condition to wait for, as two threads that hand blocks to
// each other need. Null from MonitorCreate when the system has none to give.
typedef struct PlatformMonitor* Monitor;
Monitor MonitorCreate();
void MonitorDestroy(Monitor monitor);
void MonitorEnter(Monitor monitor);
void MonitorLeave(Monitor monitor);
// Leaves the monitor, waits until woken, enters it again; wake-ups may be
// spurious, so the caller checks its condition in a loop.
void MonitorWait(Monitor monitor);
void MonitorWakeAll(Monitor monitor);

// The physical memory free now, in bytes (0 when it cannot be had).
uint64_t AvailablePhysicalMemory();
// Milliseconds from an arbitrary start, never going back.
uint64_t MonotonicMilliseconds();

// Fault injection for tests: the nth call (counted from 1) of an operation
// fails with the given Windows code, once. Only in builds with
// PLATFORM_FAULT_INJECTION; elsewhere these do nothing. A failed close still
// releases its handle, as a real one does.
enum PlatformOperation {
    FAULT_OPEN_READ,
    FAULT_CREATE,
    FAULT_READ,
    FAULT_WRITE,
    FAULT_SEEK,
    FAULT_SIZE,
    FAULT_SET_TIMES,
    FAULT_CLOSE,
    FAULT_REPLACE,
    FAULT_KIND_COUNT
};
void PlatformFailNth(PlatformOperation operation, uint32_t nth, uint32_t errorCode);
void PlatformClearFaults();
