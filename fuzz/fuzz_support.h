// What both fuzz targets need besides the core: a folder of their own for the
// files a run writes, and a way to stop loudly when a check fails.
#pragma once

#include <string>

#include "platform/platform.h"

// A folder private to this process, under $TMPDIR (or /tmp), created on first
// use and removed at exit.
const std::string& FuzzTempFolder();

// The same folder as the core takes paths.
std::u16string FuzzTempFolderWide();

// Reports a broken check and aborts, which libFuzzer records as a crash.
[[noreturn]] void FuzzFail(const char* format, ...) __attribute__((format(printf, 1, 2)));
