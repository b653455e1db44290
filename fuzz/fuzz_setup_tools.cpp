// The packer's readers of a setup file, `mksetup list --json` and `mksetup
// extract`, over a fuzzed setup file in memory:
//   - the JSON listing is always one valid JSON document in valid UTF-8 and
//     says what the listing says;
//   - extract writes only into its folder, straight into it, names that pass
//     the name rule, one file for each name it reports, or nothing at all.
//
// Input layout: a choice byte, then the setup file as fuzz_archive_pass takes
// it (a mode byte and the payload). The choice byte's bits 0-1 pick the
// platform ("", "32", "64", "none"), bit 2 asks for German alone.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "payload/payload_container.h"
#include "platform/memory_files.h"
#include "setup_extract.h"
#include "setup_listing.h"
#include "support/name_rule.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t MAX_DICTIONARY = 1u << 16;
// Two and a half of the decoder's blocks: enough for every way a block can
// end, little enough to decode four times over in a fraction of a millisecond.
constexpr uint32_t MAX_UNPACKED = 160 * 1024;

std::vector<uint8_t> SetupFile(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file;
    if (size == 0) return file;
    bool whole = data[0] % 4 == 3;
    if (!whole) {
        file.assign(PAYLOAD_SEARCH_START, 0);
        file.insert(file.end(), PAYLOAD_SIGNATURE, PAYLOAD_SIGNATURE + 4);
    }
    file.insert(file.end(), data + 1, data + size);
    // The sizes the installer would allocate and decode, capped as in
    // fuzz_archive_pass to stay within libFuzzer's limits.
    size_t at = PAYLOAD_SEARCH_START + 4;
    if (!whole && file.size() >= at + STREAM_HEADER_SIZE) {
        uint8_t* header = &file[at];
        uint32_t dictionary = header[1] | header[2] << 8 | header[3] << 16 | uint32_t{header[4]} << 24;
        if (dictionary > MAX_DICTIONARY)
            for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(MAX_DICTIONARY >> (8 * i));
        if (ReadBigEndian32(header + 5) > MAX_UNPACKED)
            for (int i = 0; i < 4; ++i) header[5 + i] = static_cast<uint8_t>(MAX_UNPACKED >> (24 - 8 * i));
    }
    return file;
}

bool ValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

void CheckListing(const SetupListing& listing) {
    std::string text = ListingJson(listing, "C:\\fuzz\\setup.exe");
    if (!ValidUtf8(text)) FuzzFail("the JSON listing is no valid UTF-8");
    nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) FuzzFail("the JSON listing does not parse");
    if (document["format"] != 1) FuzzFail("no format 1");
    if (document["verdict"]["ok"] != (listing.result == 0)) FuzzFail("the JSON verdict differs");
    if (document["verdict"]["result"] != listing.result) FuzzFail("the JSON result differs");
    const nlohmann::json& entries = document["entries"];
    if (!entries.is_array() || entries.size() != listing.entries.size()) FuzzFail("the JSON entries differ");
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i]["name"] != listing.entries[i].name || entries[i]["size"] != listing.entries[i].size)
            FuzzFail("JSON entry %zu differs", i);
}

// A folder of the build machine for extract, made once; its files go to the
// files in memory, its folders to both.
const fs::path& ExtractFolder() {
    static fs::path folder = [] {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/setup-fuzz.XXXXXX";
        if (!mkdtemp(&pattern[0])) FuzzFail("cannot make a folder for extract");
        return fs::path(pattern) / "out";
    }();
    return folder;
}

void CheckExtract(uint8_t choice, const SetupListing& listing) {
    ExtractRequest request;
    request.setup = "C:\\fuzz\\setup.exe";
    request.folder = ExtractFolder();
    static const char* const kPlatforms[] = {"", "32", "64", "none"};
    request.platform = kPlatforms[choice & 3];
    if (choice & 4) {
        request.allLanguages = false;
        request.languages = {"DE"};
    }
    fs::path partial = request.folder;
    partial += ".partial";
    std::basic_string<WideChar> absolute = WidePath(fs::absolute(partial));
    MemoryFolderCreate(absolute.c_str());
    // As the files in memory spell it: no root of its own, '\\' between names.
    std::u16string partialWide(absolute.begin() + 1, absolute.end());
    std::replace(partialWide.begin(), partialWide.end(), u'/', u'\\');
    ExtractReport report;
    std::string error = ExtractSetup(request, &report);
    std::vector<std::u16string> written;
    for (const MemoryFile& file : MemoryFilesList()) {
        if (file.path == u"C:\\fuzz\\setup.exe") continue;
        if (file.path.compare(0, partialWide.size(), partialWide) != 0 || file.path.size() <= partialWide.size() ||
            file.path[partialWide.size()] != u'\\')
            FuzzFail("extract wrote outside its folder");
        written.push_back(file.path.substr(partialWide.size() + 1));
    }
    if (listing.result != 0 && (error.empty() || !written.empty())) FuzzFail("extract took a refused setup");
    if (!error.empty()) return;
    std::vector<std::u16string> reported;
    for (const ExtractedFile& file : report.files) {
        std::basic_string<WideChar> name = WidePath(fs::u8path(file.installedAs));
        reported.push_back(std::u16string(name.begin(), name.end()));
    }
    std::sort(reported.begin(), reported.end());
    std::sort(written.begin(), written.end());
    for (const std::u16string& name : written)
        if (!IsSafeName(name.data(), static_cast<int>(name.size()))) FuzzFail("extract wrote a name the rule refuses");
    if (written != reported) FuzzFail("extract wrote %zu files and reported %zu", written.size(), reported.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    FuzzInputFiles files;
    uint8_t choice = data[0];
    std::vector<uint8_t> file = SetupFile(data + 1, size - 1);
    if (!MemoryFileStore(u"C:\\fuzz\\setup.exe", file.data(), file.size())) FuzzFail("cannot store the setup file");
    SetupListing listing = ReadSetupListing("C:\\fuzz\\setup.exe");
    CheckListing(listing);
    CheckExtract(choice, listing);
    return 0;
}
