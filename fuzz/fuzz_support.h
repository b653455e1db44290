// What the fuzz targets share besides the core: a folder in the files in
// memory, fresh for every input, and a way to stop loudly when a check fails.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

// The folder each input's files go to, in the files in memory.
extern const char16_t kFuzzFolder[];

// Forgets every file of the previous input and makes kFuzzFolder anew.
void FuzzFreshFiles();

// For the length of one input: fresh files at its start, none left at its
// end (libFuzzer takes memory still held after an input for a leak, and
// checks again, slowly). Fails when a file was left open.
struct FuzzInputFiles {
    FuzzInputFiles() { FuzzFreshFiles(); }
    ~FuzzInputFiles();
};

// A file of the files in memory; false when there is none.
bool FuzzLoad(const std::u16string& path, std::vector<uint8_t>* bytes);

// Reports a broken check and aborts, which libFuzzer records as a crash.
[[noreturn]] void FuzzFail(const char* format, ...) __attribute__((format(printf, 1, 2)));
