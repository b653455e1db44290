// The Win32 backend: each function is the Windows call the core was written
// against, with the arguments the installer uses.
#include <windows.h>

#include "platform_faults.h"

static_assert(sizeof(WideChar) == 2, "UTF-16 under Windows");
static_assert(sizeof(FileTime) == sizeof(FILETIME), "same layout as FILETIME");

static bool Faulted(PlatformOperation operation) {
    uint32_t code;
    if (!PlatformFaultDue(operation, &code)) return false;
    SetLastError(code);
    return true;
}

FileHandle FileOpenRead(const WideChar* path) {
    if (Faulted(FAULT_OPEN_READ)) return NO_FILE;
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileHandle FileCreateAlways(const WideChar* path) {
    if (Faulted(FAULT_CREATE)) return NO_FILE;
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileHandle FileCreateNew(const WideChar* path) {
    if (Faulted(FAULT_CREATE)) return NO_FILE;
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_READ)) return false;
    DWORD got = 0;
    if (!ReadFile(file, buffer, count, &got, nullptr)) return false;
    *done = got;
    return true;
}

bool FileReadAt(FileHandle file, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_READ)) return false;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(file, buffer, count, &got, &at)) return GetLastError() == ERROR_HANDLE_EOF;
    *done = got;
    return true;
}

bool FileWrite(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_WRITE)) return false;
    DWORD went = 0;
    if (!WriteFile(file, data, count, &went, nullptr)) return false;
    *done = went;
    return true;
}

bool FileSeek(FileHandle file, int32_t offset) {
    if (Faulted(FAULT_SEEK)) return false;
    return SetFilePointer(file, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

uint32_t FileSize32(FileHandle file) {
    if (Faulted(FAULT_SIZE)) return INVALID_FILE_SIZE;
    return GetFileSize(file, nullptr);
}

bool FileSetTimes(FileHandle file, const FileTime* time) {
    if (Faulted(FAULT_SET_TIMES)) return false;
    const FILETIME* t = reinterpret_cast<const FILETIME*>(time);
    return SetFileTime(file, t, t, t) != 0;
}

bool FileClose(FileHandle file) {
    // An injected failure still releases the handle, as a real one does.
    if (!CloseHandle(file)) return false;
    return !Faulted(FAULT_CLOSE);
}

bool FileOrFolderExists(const WideChar* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool DeleteFileAt(const WideChar* path) { return DeleteFileW(path) != 0; }

bool FileReplace(const WideChar* from, const WideChar* to) {
    if (Faulted(FAULT_REPLACE)) return false;
    DWORD attributes = GetFileAttributesW(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(to, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    DWORD error = GetLastError();
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(to, attributes);
    SetLastError(error);
    return false;
}

uint32_t LastErrorCode() { return GetLastError(); }
void SetLastErrorCode(uint32_t code) { SetLastError(code); }

void* MemAlloc(size_t size) { return size ? HeapAlloc(GetProcessHeap(), 0, size) : nullptr; }
void MemFree(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

int AnsiToWide(const char* source, int sourceLength, WideChar* destination, int capacity) {
    if (capacity <= 1 || sourceLength <= 0) return 0;
    // No ANSI character needs more than one UTF-16 unit per byte, so a source
    // cut to the room can never overflow the destination.
    int length = sourceLength < capacity - 1 ? sourceLength : capacity - 1;
    return MultiByteToWideChar(CP_ACP, 0, source, length, destination, capacity - 1);
}

int WideToAnsi(const WideChar* source, int sourceLength, char* destination, int capacity) {
    if (capacity <= 1 || sourceLength <= 0) return 0;
    int length = sourceLength < capacity - 1 ? sourceLength : capacity - 1;
    // A double-byte code page may need two bytes per character: give up
    // characters from the end until the rest fits.
    for (; length > 0; --length) {
        int written = WideCharToMultiByte(CP_ACP, 0, source, length, destination, capacity - 1,
                                          nullptr, nullptr);
        if (written > 0) return written;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
    }
    return 0;
}

bool LocalNoonToFileTime(int year, int month, int day, FileTime* result) {
    SYSTEMTIME noon = {};
    noon.wYear = static_cast<WORD>(year);
    noon.wMonth = static_cast<WORD>(month);
    noon.wDay = static_cast<WORD>(day);
    noon.wHour = 12;
    if (year < 1601 || year > 30827) return false;
    FILETIME local;
    if (!SystemTimeToFileTime(&noon, &local)) return false;
    return LocalFileTimeToFileTime(&local, reinterpret_cast<FILETIME*>(result)) != 0;
}

uint16_t SystemDefaultLangId() { return GetSystemDefaultLangID(); }

namespace {

struct ThreadStartup {
    void (*proc)(void*);
    void* argument;
};

DWORD WINAPI ThreadMain(void* parameter) {
    ThreadStartup startup = *static_cast<ThreadStartup*>(parameter);
    MemFree(parameter);
    startup.proc(startup.argument);
    return 0;
}

}  // namespace

ThreadHandle ThreadStart(void (*proc)(void*), void* argument) {
    ThreadStartup* startup = static_cast<ThreadStartup*>(MemAlloc(sizeof(ThreadStartup)));
    if (!startup) return nullptr;
    *startup = ThreadStartup{proc, argument};
    HANDLE thread = CreateThread(nullptr, 0, ThreadMain, startup, 0, nullptr);
    if (!thread) MemFree(startup);
    return thread;
}

void ThreadJoin(ThreadHandle thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

void SleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

struct PlatformMonitor {
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
};

Monitor MonitorCreate() {
    Monitor monitor = static_cast<Monitor>(MemAlloc(sizeof(PlatformMonitor)));
    if (!monitor) return nullptr;
    InitializeSRWLock(&monitor->lock);
    InitializeConditionVariable(&monitor->changed);
    return monitor;
}

void MonitorDestroy(Monitor monitor) { MemFree(monitor); }
void MonitorEnter(Monitor monitor) { AcquireSRWLockExclusive(&monitor->lock); }
void MonitorLeave(Monitor monitor) { ReleaseSRWLockExclusive(&monitor->lock); }
void MonitorWait(Monitor monitor) { SleepConditionVariableSRW(&monitor->changed, &monitor->lock, INFINITE, 0); }
void MonitorWakeAll(Monitor monitor) { WakeAllConditionVariable(&monitor->changed); }

uint64_t AvailablePhysicalMemory() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}
