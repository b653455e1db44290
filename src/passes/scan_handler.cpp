#include "passes/scan_handler.h"

#include <string.h>

#include "support/ascii.h"
#include "support/bounded_text.h"

namespace {

void Report(const ScanView* view, ScanFinding finding) {
    if (view->Found) view->Found(view->context, finding);
}

void ReadPlatformLine(const ScanView* view, const char* description, char* platform) {
    platform[0] = 0;
    const char* line = strchr(description, '\n');
    if (!line || view->findings->platformFolders == 0) return;
    ++line;
    if (StartsWithIgnoringCase(line, "for ")) line += 4;
    int n = 0;
    for (; n < PLATFORM_LINE_MAX && line[n] && line[n] != '\r'; ++n) platform[n] = line[n];
    platform[n] = 0;
    char* windows = strstr(platform, "Windows");
    if (windows)
        *windows = 0;
    else
        platform[0] = 0;
}

// The first line: product and version, split at " Version ".
void ReadFirstLine(char* description, char* product, char* version) {
    product[0] = version[0] = 0;
    size_t end = strcspn(description, "\n\r([");
    if (end == 0) return;
    if (description[end - 1] == ' ') --end;
    description[end] = 0;
    char* split = strstr(description, " Version ");
    if (split) {
        *split = 0;
        AppendBoundedA(split + 9, version, 32);
    }
    AppendBoundedA(description, product, 128);
}

void ComposeTitle(const ScanView* view, const char* product, const char* version) {
    char title[DESCRIPTION_CAPACITY];
    title[0] = 0;
    view->GetTitle(view->context, title, 1024);
    const char* parts[] = {" ", product, " ", version};
    for (const char* part : parts) AppendBoundedA(part, title, DESCRIPTION_CAPACITY);
    view->SetTitle(view->context, title);
}

void NoteLanguageFileBase(const ScanView* view, const WideChar* path) {
    WideChar* base = view->findings->languageFileBase;
    if (base[0]) return;
    AppendBounded(path + FileNameOffset(path), base, LANGUAGE_FILE_BASE_CAPACITY);
    int length = WideLength(base);
    if (length > 7) base[length - 7] = 0;  // "_DE.LNG"
    Report(view, FOUND_LANGUAGE_FILE_BASE);
}

void NotePlatformFolder(const ScanView* view, const WideChar* path) {
    int i = 0;
    while (path[i] && path[i] != '\\' && path[i] != '/') ++i;
    if (path[i] == 0 || i != 2) return;
    uint8_t bit = 0;
    if (path[0] == '3' && path[1] == '2') bit = PLATFORM_FOLDER_32;
    if (path[0] == '6' && path[1] == '4') bit = PLATFORM_FOLDER_64;
    uint8_t& folders = view->findings->platformFolders;
    if ((folders & bit) == bit) return;
    folders |= bit;
    Report(view, FOUND_PLATFORM_FOLDERS);
}

// The text of a language file's first bytes: UTF-16LE after a byte-order
// mark, otherwise the ANSI code page.
void DecodeLanguageText(const uint8_t* bytes, uint32_t n, WideChar* text) {
    text[0] = 0;
    if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        uint32_t count = 0;
        for (uint32_t i = 2; i + 1 < n + 2 && count < 1023; i += 2) {
            WideChar c = static_cast<WideChar>(bytes[i] | (bytes[i + 1] << 8));
            if (c == 0) break;
            text[count++] = c;
        }
        text[count] = 0;
        return;
    }
    ToWide(reinterpret_cast<const char*>(bytes), text, 1024);
}

const WideChar* FindWide(const WideChar* text, const char* word) {
    size_t length = strlen(word);
    for (; *text; ++text) {
        size_t i = 0;
        while (i < length && text[i] == static_cast<WideChar>(word[i])) ++i;
        if (i == length) return text;
    }
    return nullptr;
}

LanguageCode CodeFromPath(const WideChar* path) {
    int length = WideLength(path);
    WideChar letters[3] = {0, 0, 0};
    if (length >= 6) {
        letters[0] = path[length - 6];
        letters[1] = path[length - 5];
    }
    char narrow[8] = {};
    ToNarrow(letters, narrow, sizeof narrow);
    return PackLanguageCode(narrow, 2);
}

}  // namespace

void ReadPackageDescription(const ScanView* view, const uint8_t* preview, uint32_t size) {
    char description[DESCRIPTION_CAPACITY];
    uint32_t n = size < 1024 ? size : 1024;
    memcpy(description, preview, n);
    description[n] = 0;
    char product[128], version[32], platform[PLATFORM_LINE_MAX + 1];
    ReadPlatformLine(view, description, platform);
    ReadFirstLine(description, product, version);
    ComposeTitle(view, product, version);
    char label[DESCRIPTION_CAPACITY];
    label[0] = 0;
    const char* parts[] = {product, " ", version};
    for (const char* part : parts) AppendBoundedA(part, label, DESCRIPTION_CAPACITY);
    view->SetProductLabel(view->context, label);
    view->SetPlatformLabel(view->context, platform);
    char* name = view->findings->productName;
    if (name[0] != 0) return;
    AppendBoundedA(product, name, PRODUCT_NAME_CAPACITY);
    if (name[0] != 0) Report(view, FOUND_PRODUCT_NAME);
}

void ReadLanguageFile(const ScanView* view, const uint8_t* preview, uint32_t size, const WideChar* entryPath) {
    uint8_t bytes[1026];
    uint32_t n = size < 1024 ? size : 1024;
    memcpy(bytes, preview, n);
    bytes[n] = bytes[n + 1] = 0;
    WideChar text[1024];
    DecodeLanguageText(bytes, n, text);
    const WideChar* key = FindWide(text, "Language");
    if (!key) return;
    WideChar value[1024];
    value[0] = 0;
    if (WideLength(key) > 9) CopyBounded(key + 9, value, 1024);
    for (int i = 0; value[i]; ++i)
        if (value[i] == '(' || value[i] == '=' || value[i] == '\r' || value[i] == '\n') value[i] = 0;
    if (value[0] == 0) return;
    TrimTrailingSpaces(value);
    LanguageCode code = CodeFromPath(entryPath);
    if (view->FindLanguage(view->context, code) == -1) view->AddLanguage(view->context, value, code);
}

int32_t OnScanEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    if (!preview) return 0;
    const ScanView* view = static_cast<const ScanView*>(userData);
    int length = WideLength(pathBuffer);
    if (length > 6) {
        if (EqualsIgnoringCase(pathBuffer, "FILE_ID.DIZ")) {
            ReadPackageDescription(view, preview, size);
        } else if (EqualsIgnoringCase(pathBuffer + length - 4, ".LNG")) {
            NoteLanguageFileBase(view, pathBuffer);
            ReadLanguageFile(view, preview, size, pathBuffer);
        }
    }
    NotePlatformFolder(view, pathBuffer);
    return 0;
}
