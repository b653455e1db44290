#include "fuzz_support.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>

namespace {

std::string* gFolder = nullptr;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(*gFolder, ignored);
}

}  // namespace

const std::string& FuzzTempFolder() {
    if (!gFolder) {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/setup-fuzz.XXXXXX";
        if (!mkdtemp(&pattern[0])) {
            perror("mkdtemp");
            abort();
        }
        gFolder = new std::string(pattern);
        atexit(RemoveFolder);
    }
    return *gFolder;
}

std::u16string FuzzTempFolderWide() {
    const std::string& narrow = FuzzTempFolder();
    // mkdtemp keeps the pattern's characters; $TMPDIR is expected to be ASCII.
    return std::u16string(narrow.begin(), narrow.end());
}

void FuzzFail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("fuzz check failed: ", stderr);
    vfprintf(stderr, format, args);
    fputs("\n", stderr);
    va_end(args);
    abort();
}
