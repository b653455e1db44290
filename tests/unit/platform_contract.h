// The file contract every backend of the platform layer keeps, tested once
// and run against each: the POSIX files and the Win32 ones (unit_tests, natively
// and under Wine) and the files in memory (memory_unit_tests). What the
// platform layer cannot do itself, each test program supplies here.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

#include "platform/platform.h"

using ContractPath = std::basic_string<WideChar>;

class ContractScratch {
public:
    virtual ~ContractScratch() = default;
    // A fresh, empty folder, without a separator at the end.
    virtual ContractPath Folder() = 0;
    virtual void MakeFolder(const ContractPath& path) = 0;
    virtual void SetReadOnly(const ContractPath& path) = 0;
    // The last-write time in file-time ticks.
    virtual uint64_t LastWrite(const ContractPath& path) = 0;
    // Whether names follow Windows: letter case ignored, trailing dots dropped.
    virtual bool WindowsNaming() const = 0;
};

std::unique_ptr<ContractScratch> MakeContractScratch();
