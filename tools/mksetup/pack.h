// `mksetup pack`: a product folder and a stub become a setup file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "archive_writer.h"

struct PackOptions {
    std::filesystem::path stub;
    std::filesystem::path output;
    std::filesystem::path folder;
    std::filesystem::path orderFile;   // empty: default order
    std::string productCode;           // UTF-8, as given
    std::string windowClass;
    std::string mainProgram;
    int year = 0, month = 0, day = 0;
    LzmaSettings lzma;
    bool progress = false;             // report on stderr while packing
};

// Writes the setup file through a temporary file that is renamed at the end,
// so that a failed run leaves no output. Returns an error message or "";
// warnings (when asked for) are what packs but may not be what was meant.
std::string PackSetup(const PackOptions& options, std::vector<std::string>* warnings = nullptr);

// Checks the date the installer stores: from 2012 on, a real calendar date.
std::string CheckPackageDate(int year, int month, int day);
