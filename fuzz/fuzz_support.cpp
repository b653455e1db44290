#include "fuzz_support.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "platform/memory_files.h"

const char16_t kFuzzFolder[] = u"C:\\fuzz";

void FuzzFreshFiles() {
    if (MemoryFilesOpenHandles() != 0) FuzzFail("%u files were left open", MemoryFilesOpenHandles());
    MemoryFilesReset();
    if (!MemoryFolderCreate(kFuzzFolder)) FuzzFail("cannot make the folder in memory");
}

FuzzInputFiles::~FuzzInputFiles() {
    if (MemoryFilesOpenHandles() != 0) FuzzFail("%u files were left open", MemoryFilesOpenHandles());
    MemoryFilesReset();
}

bool FuzzLoad(const std::u16string& path, std::vector<uint8_t>* bytes) {
    MemoryFile file;
    if (!MemoryFileLoad(path.c_str(), &file)) return false;
    *bytes = std::move(file.data);
    return true;
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
