// `mksetup list`, `verify` and `extract`: the installer's own check over a
// setup file (its archive pass, its scan handler, its name rule), without
// writing anything, and what the installer would make of each entry.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

#include "passes/scan_handler.h"

struct ListedEntry {
    uint32_t size = 0;
    std::string name;        // UTF-8, backslashes as stored
    std::string platform;    // "32", "64" or "" (the top folder)
    std::string language;    // the code of the language on the list whose file it is ("DE"), or ""
    bool installedByDefault = false;  // with every language checked and the installer's platform
};

struct ListedLanguage {
    uint32_t code = 0;
    std::string name;        // as the list shows it, UTF-8
};

struct SetupListing {
    uint64_t fileSize = 0;
    bool authenticode = false;      // the file carries an Authenticode signature
    uint32_t payloadOffset = 0;     // first byte after the signature; 0 = none
    bool streamHeaderRead = false;
    uint8_t properties[5] = {};
    uint32_t unpackedSize = 0;
    bool headerParsed = false;      // the archive header was seen
    std::string productCode, windowClass, mainProgram;  // UTF-8
    uint32_t packageDate = 0;
    uint32_t announcedChecksum = 0;
    uint32_t checksum = 0;
    std::vector<ListedEntry> entries;
    int32_t result = 0;             // the check's result, as the installer's
    bool badName = false;           // the check failed on a name the installer would not write
    // What the scan learnt, as the installer's dialog would.
    ScanFindings findings = {};
    std::vector<ListedLanguage> languages;  // found in the package, beyond US and DE
    std::string platformFolder;     // the one the installer picks: "64", "32" or ""
};

SetupListing ReadSetupListing(const std::filesystem::path& setup);

// What a check result means, for a person.
std::string DescribePassResult(const SetupListing& listing);

// The listing as one JSON document (docs/mksetup.md describes it).
std::string ListingJson(const SetupListing& listing, const std::string& path);

// The package date as YYYY-MM-DD.
std::string PackageDateText(uint32_t value);
