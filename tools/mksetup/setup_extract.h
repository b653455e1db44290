// `mksetup extract`: the files that the installer would write for a choice
// of languages (and, to look at the other set, of platform), written without
// Windows. The installer's own check, extraction filter and name rule decide;
// the files get the package's time.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

struct ExtractRequest {
    std::filesystem::path setup;
    std::filesystem::path folder;        // new or empty
    bool allLanguages = true;
    std::vector<std::string> languages;  // the codes to install ("DE"), when not all
    std::string platform;                // "32", "64", "none", or "" for the installer's rule
    bool dryRun = false;                 // plan only
};

struct ExtractedFile {
    std::string entry;        // the entry's name, UTF-8, as stored
    std::string installedAs;  // the file's name in the folder, UTF-8
    uint32_t size = 0;
};

struct ExtractReport {
    std::string platform;                 // the folder taken, or "" for none
    std::vector<std::string> checked;     // the languages installed
    std::vector<std::string> unchecked;   // the languages left out
    std::vector<ExtractedFile> files;     // in archive order; a later file of a name replaces an earlier one
    std::vector<std::string> skipped;     // entries not installed
};

// Writes the files into request.folder, through a ".partial" folder that is
// renamed at the end, so that a failure leaves nothing. Returns an error
// message or "".
std::string ExtractSetup(const ExtractRequest& request, ExtractReport* report);
