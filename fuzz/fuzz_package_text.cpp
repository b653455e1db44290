// The readers of the description file and the language files, through the
// scan handler as the pass calls it, on a view that records what the dialog
// would show. Checked: every text stays within its bounds and ends where its
// rule says, and the title and labels agree with each other.
//
// Input layout: a mode byte, then
//   bit 0 clear   a description: the rest is FILE_ID.DIZ's first bytes;
//                 bit 1 says whether a 32/64 folder was seen before it;
//                 bit 2 spells the name in lower case
//   bit 0 set     a language file: a length byte n (% 12), n bytes of the
//                 file name's stem, two bytes of its code, then its first
//                 bytes; bit 1 lists the code already; bit 2 spells ".lng"
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "passes/scan_handler.h"
#include "payload/archive_reader.h"
#include "platform/cp1252.h"

namespace {

struct Screen {
    std::string title = "Setup";
    std::string productLabel, platformLabel;
    bool productLabelSet = false, platformLabelSet = false;
    LanguageCode listed = 0;  // a code the list holds already, or 0
    int finds = 0;
    std::vector<std::pair<std::u16string, LanguageCode>> added;
    LanguageCode lastFound = 0;
};

void GetTitle(void* context, char* title, int capacity) {
    Screen* screen = static_cast<Screen*>(context);
    snprintf(title, static_cast<size_t>(capacity), "%s", screen->title.c_str());
}
void SetTitle(void* context, const char* title) { static_cast<Screen*>(context)->title = title; }
void SetProductLabel(void* context, const char* text) {
    Screen* screen = static_cast<Screen*>(context);
    screen->productLabel = text;
    screen->productLabelSet = true;
}
void SetPlatformLabel(void* context, const char* text) {
    Screen* screen = static_cast<Screen*>(context);
    screen->platformLabel = text;
    screen->platformLabelSet = true;
}
int FindLanguage(void* context, LanguageCode code) {
    Screen* screen = static_cast<Screen*>(context);
    screen->finds += 1;
    screen->lastFound = code;
    return code == screen->listed ? 0 : -1;
}
void AddLanguage(void* context, const WideChar* name, LanguageCode code) {
    static_cast<Screen*>(context)->added.push_back({std::u16string(name), code});
}

// What the description's second line should show, found the plain way.
std::string ExpectedPlatformLine(const std::string& text) {
    size_t lineFeed = text.find('\n');
    if (lineFeed == std::string::npos) return "";
    std::string line = text.substr(lineFeed + 1);
    if (line.size() >= 4 && strncasecmp(line.c_str(), "for ", 4) == 0) line.erase(0, 4);
    line = line.substr(0, line.find('\r')).substr(0, PLATFORM_LINE_MAX);
    size_t windows = line.find("Windows");
    return windows == std::string::npos ? "" : line.substr(0, windows);
}

void CheckDescription(const Screen& screen, const ScanFindings& findings, const uint8_t* preview, uint32_t size,
                      bool platformFolders) {
    std::string text(reinterpret_cast<const char*>(preview), size);
    text = text.substr(0, text.find('\0'));
    if (!screen.productLabelSet || !screen.platformLabelSet) FuzzFail("a description that set no labels");
    std::string expected = platformFolders ? ExpectedPlatformLine(text) : "";
    if (screen.platformLabel != expected)
        FuzzFail("platform line \"%s\", not \"%s\"", screen.platformLabel.c_str(), expected.c_str());
    // The label is product and version from the first line; the title is the
    // old one with both appended.
    const std::string& label = screen.productLabel;
    if (label.size() > 1024 || screen.title.size() > 1024) FuzzFail("a text beyond its buffer");
    if (screen.title.size() < 1024 && screen.title != "Setup " + label)
        FuzzFail("title \"%s\" for label \"%s\"", screen.title.c_str(), label.c_str());
    // Product and version, found the plain way from the first line.
    std::string line = text.substr(0, text.find_first_of("\r\n(["));
    std::string product, version;
    if (!line.empty()) {
        if (line.back() == ' ') line.pop_back();
        size_t marker = line.find(" Version ");
        product = line.substr(0, marker).substr(0, 127);
        if (marker != std::string::npos) version = line.substr(marker + 9).substr(0, 31);
    }
    if (label != product + " " + version)
        FuzzFail("label \"%s\", not \"%s %s\"", label.c_str(), product.c_str(), version.c_str());
    size_t nameLength = strnlen(findings.productName, PRODUCT_NAME_CAPACITY);
    if (nameLength == PRODUCT_NAME_CAPACITY) FuzzFail("the product name has no terminator");
    if (product.substr(0, PRODUCT_NAME_CAPACITY - 1) != findings.productName)
        FuzzFail("product name \"%s\" for the product \"%s\"", findings.productName, product.c_str());
}

void CheckLanguage(const Screen& screen, const ScanFindings& findings, const std::u16string& path) {
    if (screen.added.size() > 1) FuzzFail("one file added %zu languages", screen.added.size());
    size_t stemLength = 0;
    while (stemLength < LANGUAGE_FILE_BASE_CAPACITY && findings.languageFileBase[stemLength]) ++stemLength;
    if (stemLength == LANGUAGE_FILE_BASE_CAPACITY) FuzzFail("the stem has no terminator");
    std::u16string fileName = path.substr(path.find_last_of(u"\\/") == std::u16string::npos ? 0 : path.find_last_of(u"\\/") + 1);
    if (fileName.compare(0, stemLength, findings.languageFileBase) != 0) FuzzFail("the stem is not the name's start");
    if (screen.added.empty()) return;
    if (screen.finds != 1 || screen.lastFound != screen.added[0].second) FuzzFail("added without looking it up");
    if (screen.added[0].second == screen.listed) FuzzFail("a language added twice");
    const std::u16string& name = screen.added[0].first;
    if (name.size() > 1023) FuzzFail("a language name of %zu characters", name.size());
    if (name.find_first_of(u"(=\r\n") != std::u16string::npos) FuzzFail("a language name runs past its value");
    if (!name.empty() && name.back() == u' ') FuzzFail("a language name ends in a space");
    // The code is the two characters before ".LNG", upper-cased.
    LanguageCode code = screen.added[0].second;
    char16_t first = path[path.size() - 6], second = path[path.size() - 5];
    auto upper = [](char16_t c) { return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c; };
    int a = Cp1252FromUnicode(upper(first)), b = Cp1252FromUnicode(upper(second));
    if (a >= 0 && b >= 0 && code != static_cast<LanguageCode>(a | b << 8))
        FuzzFail("code %04x for the name's %02x %02x", code, a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t mode = *data++;
    --size;
    Screen screen;
    ScanFindings findings = {};
    ScanView view = {&screen, &findings, GetTitle, SetTitle, SetProductLabel, SetPlatformLabel, FindLanguage,
                     AddLanguage, nullptr};
    bool description = (mode & 1) == 0;
    std::u16string path;
    if (description) {
        path = mode & 4 ? u"file_id.diz" : u"FILE_ID.DIZ";
        if (mode & 2) findings.platformFolders = PLATFORM_FOLDER_64;
    } else {
        if (size < 1) return 0;
        size_t stem = *data++ % 12;
        --size;
        if (size < stem + 2) return 0;
        // An archive's name ends at its first zero: none inside.
        if (memchr(data, 0, stem + 2)) return 0;
        for (size_t i = 0; i < stem + 2; ++i) path += Cp1252ToUnicode(data[i]);
        path.insert(stem, u"_");
        path += mode & 4 ? u".lng" : u".LNG";
        data += stem + 2;
        size -= stem + 2;
        if (mode & 2) screen.listed = 0x4946;  // "FI"
    }
    if (size == 0) return 0;  // an empty entry gets no preview call
    uint32_t previewSize = size > PREVIEW_CAPACITY ? PREVIEW_CAPACITY : static_cast<uint32_t>(size);
    WideChar buffer[NAME_CAPACITY] = {};
    std::copy(path.begin(), path.end(), buffer);
    if (OnScanEntry(buffer, nullptr, static_cast<uint32_t>(size), &view) != 0) FuzzFail("the scan asked for a file");
    if (OnScanEntry(buffer, data, previewSize, &view) != 0) FuzzFail("the scan asked for a file");
    if (std::u16string(buffer) != path) FuzzFail("the scan changed the path");
    if (description) {
        CheckDescription(screen, findings, data, previewSize, mode & 2);
    } else {
        CheckLanguage(screen, findings, path);
    }
    return 0;
}
