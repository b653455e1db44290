// The scan pass's entry handler: it writes nothing, and learns from the
// entries' names and first bytes the product's name, version and platform
// line (from FILE_ID.DIZ), the languages on offer (from the .LNG files), the
// language files' common stem and whether the package has 32/64 folders.
//
// What it learns goes into the view's ScanFindings, owned by the pass's
// thread; what it shows goes through the view's calls. So the logic runs the
// same on a worker thread that reports to the dialog by message, and in
// tests without windows.
#pragma once

#include <stdint.h>

#include "core/installer_state.h"
#include "platform/platform.h"
#include "support/language_code.h"

constexpr int PLATFORM_LINE_MAX = 63;
constexpr int DESCRIPTION_CAPACITY = 1025;

// What the scan has learnt so far. Each field is written once it is known
// (the product name and the stem only while empty) and then reported.
struct ScanFindings {
    char productName[PRODUCT_NAME_CAPACITY];  // from the first description
    WideChar languageFileBase[LANGUAGE_FILE_BASE_CAPACITY];  // stem of the first .LNG
    uint8_t platformFolders;                  // PLATFORM_FOLDER_* bits
};

enum ScanFinding { FOUND_PRODUCT_NAME, FOUND_LANGUAGE_FILE_BASE, FOUND_PLATFORM_FOLDERS };

struct ScanView {
    void* context;
    ScanFindings* findings;
    // The dialog's title, narrow (at most capacity - 1 bytes).
    void (*GetTitle)(void* context, char* title, int capacity);
    void (*SetTitle)(void* context, const char* title);
    // The product label (control 1001) in the large font, and the platform label (1002).
    void (*SetProductLabel)(void* context, const char* text);
    void (*SetPlatformLabel)(void* context, const char* text);
    int (*FindLanguage)(void* context, LanguageCode code);
    void (*AddLanguage)(void* context, const WideChar* displayName, LanguageCode code);
    // A finding has just been made or changed; may be null.
    void (*Found)(void* context, ScanFinding finding);
};

// The EntryHandler of the scan pass; userData is a ScanView. Always 0.
int32_t OnScanEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData);
void ReadPackageDescription(const ScanView* view, const uint8_t* preview, uint32_t size);
void ReadLanguageFile(const ScanView* view, const uint8_t* preview, uint32_t size, const WideChar* entryPath);
