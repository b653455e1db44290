// The POSIX backend's files: the same contract as the Win32 ones, so that the
// core runs natively with the behaviour it has under Windows. Paths arrive as
// UTF-16 and go to the system as UTF-8, with backslashes turned into slashes;
// errors are reported as Windows error codes.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "platform/utf8.h"
#include "platform_faults.h"

namespace {

int Descriptor(FileHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file)); }
FileHandle Handle(int descriptor) { return reinterpret_cast<FileHandle>(static_cast<intptr_t>(descriptor)); }

std::string SystemPath(const WideChar* path) {
    std::string out;
    size_t length = 0;
    while (path[length]) ++length;
    for (size_t at = 0; at < length;) {
        uint32_t c = NextCodePoint(path, length, &at);
        char bytes[4];
        if (c == '\\') c = '/';
        out.append(bytes, static_cast<size_t>(EncodeUtf8(c, bytes)));
    }
    return out;
}

bool ParentExists(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return true;
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat info;
    return stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The Windows code that the matching Windows call would have left.
uint32_t WindowsCode(int error, const std::string& path) {
    switch (error) {
        case ENOENT: return ParentExists(path) ? 2 : 3;
        case ENOTDIR: return 3;
        case EACCES: case EPERM: case EISDIR: case ETXTBSY: return 5;
        case EMFILE: case ENFILE: return 4;
        case ENOMEM: return 8;
        case EROFS: return 19;
        case EIO: return 1117;
        case ENOSPC: case EDQUOT: return 112;
        case EFBIG: return 223;
        case ENAMETOOLONG: return 206;
        case EEXIST: return 80;
        case EBADF: return 6;
        case EINVAL: return 87;
        default: return 31;
    }
}

void SetErrorFromErrno(const std::string& path = std::string()) { SetLastErrorCode(WindowsCode(errno, path)); }

bool Faulted(PlatformOperation operation) {
    uint32_t code;
    if (!PlatformFaultDue(operation, &code)) return false;
    SetLastErrorCode(code);
    return true;
}

FileHandle Open(const WideChar* path, int flags) {
    std::string name = SystemPath(path);
    int descriptor = open(name.c_str(), flags | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        SetErrorFromErrno(name);
        return NO_FILE;
    }
    return Handle(descriptor);
}

}  // namespace

FileHandle FileOpenRead(const WideChar* path) {
    if (Faulted(FAULT_OPEN_READ)) return NO_FILE;
    FileHandle file = Open(path, O_RDONLY);
    if (file == NO_FILE) return NO_FILE;
    struct stat info;
    if (fstat(Descriptor(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        close(Descriptor(file));
        SetLastErrorCode(ERROR_CODE_ACCESS_DENIED);
        return NO_FILE;
    }
    return file;
}

FileHandle FileCreateAlways(const WideChar* path) {
    if (Faulted(FAULT_CREATE)) return NO_FILE;
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC);
}

FileHandle FileCreateNew(const WideChar* path) {
    if (Faulted(FAULT_CREATE)) return NO_FILE;
    return Open(path, O_WRONLY | O_CREAT | O_EXCL);
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_READ)) return false;
    char* at = static_cast<char*>(buffer);
    while (*done < count) {
        ssize_t got = read(Descriptor(file), at + *done, count - *done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            SetErrorFromErrno();
            *done = 0;
            return false;
        }
        if (got == 0) break;
        *done += static_cast<uint32_t>(got);
    }
    return true;
}

bool FileReadAt(FileHandle file, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_READ)) return false;
    char* at = static_cast<char*>(buffer);
    while (*done < count) {
        ssize_t got = pread(Descriptor(file), at + *done, count - *done, static_cast<off_t>(offset + *done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            SetErrorFromErrno();
            *done = 0;
            return false;
        }
        if (got == 0) break;
        *done += static_cast<uint32_t>(got);
    }
    return true;
}

bool FileWrite(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_WRITE)) return false;
    const char* at = static_cast<const char*>(data);
    while (*done < count) {
        ssize_t went = write(Descriptor(file), at + *done, count - *done);
        if (went < 0 && errno == EINTR) continue;
        if (went <= 0) {
            if (went == 0) errno = ENOSPC;
            SetErrorFromErrno();
            return false;
        }
        *done += static_cast<uint32_t>(went);
    }
    return true;
}

bool FileSeek(FileHandle file, int32_t offset) {
    if (Faulted(FAULT_SEEK)) return false;
    if (offset < 0) {
        SetLastErrorCode(131);  // ERROR_NEGATIVE_SEEK
        return false;
    }
    if (lseek(Descriptor(file), offset, SEEK_SET) < 0) {
        SetErrorFromErrno();
        return false;
    }
    return true;
}

uint32_t FileSize32(FileHandle file) {
    if (Faulted(FAULT_SIZE)) return 0xFFFFFFFFu;
    struct stat info;
    if (fstat(Descriptor(file), &info) != 0) {
        SetErrorFromErrno();
        return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(info.st_size));
}

bool FileSetTimes(FileHandle file, const FileTime* time) {
    if (Faulted(FAULT_SET_TIMES)) return false;
    uint64_t ticks = (static_cast<uint64_t>(time->high) << 32) | time->low;
    struct timespec times[2];
    if (ticks == 0) {
        times[0].tv_sec = times[1].tv_sec = 0;
        times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    } else {
        const int64_t kUnixEpochSeconds = 11644473600LL;
        int64_t seconds = static_cast<int64_t>(ticks / 10000000) - kUnixEpochSeconds;
        times[0].tv_sec = static_cast<time_t>(seconds);
        times[0].tv_nsec = static_cast<long>(ticks % 10000000) * 100;
        times[1] = times[0];
    }
    if (futimens(Descriptor(file), times) != 0) {
        SetErrorFromErrno();
        return false;
    }
    return true;
}

bool FileClose(FileHandle file) {
    // POSIX releases the descriptor even when close reports an error; an
    // injected failure does the same.
    if (close(Descriptor(file)) != 0) {
        SetErrorFromErrno();
        return false;
    }
    return !Faulted(FAULT_CLOSE);
}

bool FileOrFolderExists(const WideChar* path) {
    struct stat info;
    return stat(SystemPath(path).c_str(), &info) == 0;
}

bool DeleteFileAt(const WideChar* path) {
    std::string name = SystemPath(path);
    if (unlink(name.c_str()) == 0) return true;
    SetErrorFromErrno(name);
    return false;
}

namespace {

// A file without write bits stands for one with the read-only attribute.
bool IsReadOnly(const std::string& path, mode_t* mode) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    *mode = info.st_mode;
    return (info.st_mode & 0222) == 0;
}

}  // namespace

bool FileReplace(const WideChar* from, const WideChar* to) {
    if (Faulted(FAULT_REPLACE)) return false;
    std::string source = SystemPath(from), target = SystemPath(to);
    mode_t mode = 0;
    bool readOnly = IsReadOnly(target, &mode);
    if (readOnly) chmod(target.c_str(), mode | 0200);
    // Windows refuses to replace a read-only file, where a POSIX rename does
    // not care: refused here too, so that a replace that left the attribute
    // in place fails natively as it would on Windows.
    mode_t still = 0;
    if (IsReadOnly(target, &still)) {
        SetLastErrorCode(ERROR_CODE_ACCESS_DENIED);
        return false;
    }
    if (rename(source.c_str(), target.c_str()) == 0) return true;
    SetErrorFromErrno(target);
    if (readOnly) chmod(target.c_str(), mode);
    return false;
}
