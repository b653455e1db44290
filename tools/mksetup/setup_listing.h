// `mksetup list` and `verify`: one archive pass over a setup file, the same
// pass the installer runs, with a handler that writes nothing.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

struct ListedEntry {
    uint32_t size = 0;
    std::string name;  // UTF-8
};

struct SetupListing {
    uint64_t fileSize = 0;
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
    int32_t result = 0;             // the pass's result
};

SetupListing ReadSetupListing(const std::filesystem::path& setup);

// What a pass result means, for a person.
std::string DescribePassResult(const SetupListing& listing);
