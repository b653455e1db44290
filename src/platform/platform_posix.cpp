// The POSIX backend's system services: the same contract as the Win32 ones.
// The ANSI code page is Windows-1252; errors are Windows error codes, kept per
// thread. The files are in platform_posix_files.cpp, or, for tests and
// fuzzing, in memory (platform_memory_files.cpp); the heap and the threads
// are in platform_posix_runtime.cpp, or, for fuzzing, ones that reuse their
// blocks and threads; each chosen at link time.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <initializer_list>

#include "platform/calendar.h"
#include "platform/cp1252.h"
#include "platform/platform.h"
#include "platform/utf8.h"

namespace {

thread_local uint32_t tLastError = 0;

}  // namespace

uint32_t LastErrorCode() { return tLastError; }
void SetLastErrorCode(uint32_t code) { tLastError = code; }


int AnsiToWide(const char* source, int sourceLength, WideChar* destination, int capacity) {
    int count = 0;
    for (; count < sourceLength && count < capacity - 1; ++count)
        destination[count] = Cp1252ToUnicode(static_cast<unsigned char>(source[count]));
    return count;
}

int WideToAnsi(const WideChar* source, int sourceLength, char* destination, int capacity) {
    int count = 0;
    size_t length = sourceLength > 0 ? static_cast<size_t>(sourceLength) : 0;
    for (size_t at = 0; at < length && count < capacity - 1;) {
        // One character, one byte: a pair of surrogates becomes one default character.
        uint32_t c = NextCodePoint(source, length, &at);
        int byte = c <= 0xFFFF ? Cp1252FromUnicode(static_cast<char16_t>(c)) : -1;
        destination[count++] = static_cast<char>(byte < 0 ? '?' : byte);
    }
    return count;
}

bool LocalNoonToFileTime(int year, int month, int day, FileTime* result) {
    if (year < 1601 || year > 30827 || !IsCalendarDate(year, month, day)) return false;
    struct tm noon = {};
    noon.tm_year = year - 1900;
    noon.tm_mon = month - 1;
    noon.tm_mday = day;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    time_t seconds = mktime(&noon);
    if (seconds == static_cast<time_t>(-1)) return false;  // noon is never one second before 1970
    uint64_t ticks = (static_cast<uint64_t>(static_cast<int64_t>(seconds) + 11644473600LL)) * 10000000ULL;
    result->low = static_cast<uint32_t>(ticks);
    result->high = static_cast<uint32_t>(ticks >> 32);
    return true;
}

uint16_t SystemDefaultLangId() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = getenv(name);
        if (locale && *locale) break;
    }
    if (!locale) return 0x0409;
    // language_TERRITORY, as in de_AT.UTF-8
    static const struct {
        const char* prefix;
        uint16_t id;
    } kLocales[] = {{"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de_LI", 0x1407}, {"de", 0x0407},
                    {"it_CH", 0x0810}, {"it", 0x0410},    {"fr", 0x040C},    {"en_GB", 0x0809}};
    for (const auto& known : kLocales)
        if (strncmp(locale, known.prefix, strlen(known.prefix)) == 0) return known.id;
    return 0x0409;
}

void SleepMilliseconds(uint32_t milliseconds) {
    struct timespec pause = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

uint64_t MonotonicMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

struct PlatformMonitor {
    pthread_mutex_t lock;
    pthread_cond_t changed;
};

Monitor MonitorCreate() {
    Monitor monitor = static_cast<Monitor>(malloc(sizeof(PlatformMonitor)));
    if (!monitor) return nullptr;
    pthread_mutex_init(&monitor->lock, nullptr);
    pthread_cond_init(&monitor->changed, nullptr);
    return monitor;
}

void MonitorDestroy(Monitor monitor) {
    if (!monitor) return;
    pthread_cond_destroy(&monitor->changed);
    pthread_mutex_destroy(&monitor->lock);
    free(monitor);
}

void MonitorEnter(Monitor monitor) { pthread_mutex_lock(&monitor->lock); }
void MonitorLeave(Monitor monitor) { pthread_mutex_unlock(&monitor->lock); }
void MonitorWait(Monitor monitor) { pthread_cond_wait(&monitor->changed, &monitor->lock); }
void MonitorWakeAll(Monitor monitor) { pthread_cond_broadcast(&monitor->changed); }

uint64_t AvailablePhysicalMemory() {
    long pages = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}
