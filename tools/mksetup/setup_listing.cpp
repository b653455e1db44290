#include "setup_listing.h"

#include <stdio.h>
#include <string.h>

#include <memory>

#include <nlohmann/json.hpp>

#include "core/installer_state.h"
#include "passes/extract_handler.h"
#include "payload/archive_pass.h"
#include "payload/payload_container.h"
#include "pe_signature.h"
#include "support/bounded_text.h"
#include "support/name_rule.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

// The scan handler's view of a dialog that is not there: it only remembers.
struct QuietDialog {
    SetupListing* listing;
    std::string title;
};

void GetTitle(void* context, char* title, int capacity) {
    title[0] = 0;
    AppendBoundedA(static_cast<QuietDialog*>(context)->title.c_str(), title, capacity);
}
void SetTitle(void* context, const char* title) { static_cast<QuietDialog*>(context)->title = title; }
void Ignore(void*, const char*) {}
int FindLanguage(void* context, LanguageCode code) {
    if (code == LANGUAGE_US || code == LANGUAGE_DE) return 0;
    const auto& languages = static_cast<QuietDialog*>(context)->listing->languages;
    for (size_t i = 0; i < languages.size(); ++i)
        if (languages[i].code == code) return static_cast<int>(i) + 2;
    return -1;
}
void AddLanguage(void* context, const WideChar* name, LanguageCode code) {
    static_cast<QuietDialog*>(context)->listing->languages.push_back(ListedLanguage{code, WideToUtf8(name)});
}

struct ListingRun {
    SetupListing* listing;
    ScanView view;
    std::vector<std::basic_string<WideChar>> names;  // the entries' names as the pass gave them
};

// Every entry as the installer's check sees it: the scan handler reads it,
// and its file name must pass the name rule.
int32_t RecordEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    ListingRun* run = static_cast<ListingRun*>(userData);
    if (!preview) {
        ListedEntry entry;
        entry.size = size;
        entry.name = WideToUtf8(pathBuffer);
        run->listing->entries.push_back(entry);
        run->names.push_back(pathBuffer);
        const WideChar* name = pathBuffer + FileNameOffset(pathBuffer);
        if (!IsSafeName(name, WideLength(name))) run->listing->badName = true;
    }
    return OnScanEntry(pathBuffer, preview, size, &run->view);
}

void NoStatus(void*, const WideChar*) {}
const ExtractView kNoView = {NoStatus};

// What the installer would do with each entry for its default choice: the
// extraction filter itself, asked without writing.
void NoteWhatIsInstalled(SetupListing* listing, const std::vector<std::basic_string<WideChar>>& names) {
    uint8_t folders = listing->findings.platformFolders;
    listing->platformFolder = folders & PLATFORM_FOLDER_64 ? "64" : folders & PLATFORM_FOLDER_32 ? "32" : "";
    InstallContext context = {};
    context.view = &kNoView;
    context.destinationFolder[0] = 'X';
    context.destinationFolder[1] = ':';
    for (size_t i = 0; i < listing->platformFolder.size(); ++i) context.platformFolder[i] = listing->platformFolder[i];
    CopyBounded(listing->findings.languageFileBase, context.languageFileBase, 32);
    std::vector<LanguageChoice> all = {{LANGUAGE_US, true}, {LANGUAGE_DE, true}};
    for (const ListedLanguage& language : listing->languages) all.push_back(LanguageChoice{language.code, true});
    context.languages = all.data();
    context.languageCount = static_cast<int>(all.size());
    for (size_t i = 0; i < listing->entries.size(); ++i) {
        ListedEntry& entry = listing->entries[i];
        const std::basic_string<WideChar>& wide = names[i];
        if (entry.name.compare(0, 3, "32\\") == 0 || entry.name.compare(0, 3, "64\\") == 0)
            entry.platform = entry.name.substr(0, 2);
        const WideChar* fileName = wide.c_str() + FileNameOffset(wide.c_str());
        // A language file of a language on the list; the filter's rule alone
        // would take FILE_ID.DIZ for one, of a language "ID", with a stem of
        // four letters.
        LanguageCode code;
        if (LanguageOfFile(fileName, context.languageFileBase, &code) && LanguageCheck(&context, code) >= 0) {
            char letters[5];
            LanguageCodeText(code, letters);
            entry.language = letters;
        }
        WideChar path[NAME_CAPACITY];
        CopyBounded(wide.c_str(), path, NAME_CAPACITY);
        entry.installedByDefault = OnExtractEntry(path, nullptr, entry.size, &context) != 0;
    }
}

void ReadContainer(FileHandle file, SetupListing* listing) {
    uint32_t size = FileSize32(file);
    listing->fileSize = size == 0xFFFFFFFFu ? 0 : size;
    if (listing->fileSize > 0) listing->payloadOffset = FindPayloadOffset(file, size);
    if (listing->payloadOffset == 0) return;
    uint8_t header[STREAM_HEADER_SIZE];
    uint32_t got = 0;
    if (FileReadAt(file, listing->payloadOffset, header, sizeof header, &got) && got == sizeof header) {
        listing->streamHeaderRead = true;
        std::copy(header, header + 5, listing->properties);
        listing->unpackedSize = ReadBigEndian32(header + 5);
    }
}

uint32_t Little32(const uint8_t* b) { return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24); }

}  // namespace

SetupListing ReadSetupListing(const fs::path& setup) {
    SetupListing listing;
    std::basic_string<WideChar> path = WidePath(setup);
    FileHandle file = FileOpenRead(path.c_str());
    if (file == NO_FILE) {
        listing.result = LastErrorOr(ERROR_CODE_ACCESS_DENIED);
        return listing;
    }
    ReadContainer(file, &listing);
    listing.authenticode = HasCertificateTable(
        [file](uint64_t offset, uint8_t* buffer, uint32_t count) {
            uint32_t got = 0;
            return FileReadAt(file, offset, buffer, count, &got) && got == count;
        },
        listing.fileSize);
    QuietDialog dialog{&listing, ""};
    ListingRun run{&listing,
                   ScanView{&dialog, &listing.findings, GetTitle, SetTitle, Ignore, Ignore, FindLanguage, AddLanguage,
                            nullptr},
                   {}};
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader());
    listing.result = RunPass(reader.get(), file, RecordEntry, &run, nullptr);
    FileClose(file);
    if (listing.result == 0 && listing.badName) listing.result = PASS_BROKEN;
    listing.headerParsed = reader->state != READER_EXPECT_HEADER;
    if (listing.headerParsed) {
        listing.productCode = Cp1252ToUtf8(reader->productCode);
        listing.windowClass = Cp1252ToUtf8(reader->windowClass);
        listing.mainProgram = Cp1252ToUtf8(reader->mainProgram);
        listing.packageDate = reader->packageDate;
        listing.announcedChecksum = reader->announcedChecksum;
        listing.checksum = reader->checksum;
    }
    NoteWhatIsInstalled(&listing, run.names);
    return listing;
}

std::string DescribePassResult(const SetupListing& listing) {
    int32_t result = listing.result;
    switch (result) {
        case 0: return "ok";
        case 2: return "the file does not exist (Windows error 2)";
        case 3: return "the path does not exist (Windows error 3)";
        case 5: return "access denied (Windows error 5)";
        case -1:
            if (listing.payloadOffset == 0) return "no payload: no signature at or after offset 89999 (-1)";
            if (!listing.headerParsed) return "no archive header in the payload (-1)";
            if (listing.badName && listing.checksum == listing.announcedChecksum)
                return "an entry's name is one the installer would not write (-1)";
            return "checksum mismatch: the payload is damaged or cut short (-1)";
        case -38: return "the file ends within the payload's stream header (-38)";
        case -13: return "corrupt LZMA data (-13)";
        case -50: return "LZMA properties not supported (-50)";
        case -8: return "not enough memory for the LZMA dictionary (-8)";
    }
    if (result > 0) return "cannot open the file (Windows error " + std::to_string(result) + ")";
    return "reading the payload failed (Windows error " + std::to_string(-result) + ")";
}

std::string PackageDateText(uint32_t value) {
    int year, month, day;
    SplitPackageDate(value, &year, &month, &day);
    char text[16];
    snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::string ListingJson(const SetupListing& listing, const std::string& path) {
    using json = nlohmann::ordered_json;
    json document;
    document["format"] = 1;
    document["file"] = {{"path", path}, {"size", listing.fileSize}, {"authenticode", listing.authenticode}};
    json payload = nullptr;
    if (listing.payloadOffset) {
        payload = {{"signatureOffset", listing.payloadOffset - 4}};
        if (listing.streamHeaderRead) {
            const uint8_t* p = listing.properties;
            payload["lzma"] = {{"lc", p[0] % 9}, {"lp", p[0] / 9 % 5}, {"pb", p[0] / 45}, {"dictionary", Little32(p + 1)}};
            payload["unpackedSize"] = listing.unpackedSize;
        }
    }
    document["payload"] = payload;
    json header = nullptr;
    if (listing.headerParsed)
        header = {{"productCode", listing.productCode},
                  {"windowClass", listing.windowClass},
                  {"mainProgram", listing.mainProgram},
                  {"date", PackageDateText(listing.packageDate)},
                  {"dateValue", listing.packageDate},
                  {"checksum", listing.announcedChecksum}};
    document["header"] = header;
    json entries = json::array();
    for (const ListedEntry& e : listing.entries) {
        json entry = {{"name", e.name}, {"size", e.size}, {"installedByDefault", e.installedByDefault}};
        entry["platform"] = e.platform.empty() ? json(nullptr) : json(e.platform);
        entry["language"] = e.language.empty() ? json(nullptr) : json(e.language);
        entries.push_back(entry);
    }
    document["entries"] = entries;
    document["platformFolder"] = listing.platformFolder.empty() ? json(nullptr) : json(listing.platformFolder);
    document["verdict"] = {{"ok", listing.result == 0},
                           {"result", listing.result},
                           {"text", DescribePassResult(listing)},
                           {"checksum", listing.checksum}};
    // Names from a package are Windows-1252 made UTF-8; a name no byte of
    // which was valid still makes valid JSON: invalid bytes are replaced.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
