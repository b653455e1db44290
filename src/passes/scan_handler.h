// The scan pass's entry handler: it writes nothing, and learns from the
// entries' names and first bytes the product's name, version and platform
// line (from FILE_ID.DIZ), the languages on offer (from the .LNG files), the
// language files' common stem and whether the package has 32/64 folders.
//
// What it does to the dialog goes through a ScanView, so the logic runs the
// same against the real dialog and in tests without windows.
#pragma once

#include <stdint.h>

#include "platform/platform.h"
#include "support/language_code.h"

constexpr int PLATFORM_LINE_MAX = 63;
constexpr int DESCRIPTION_CAPACITY = 1025;

struct ScanView {
    void* context;
    // The dialog's title, narrow (at most capacity - 1 bytes).
    void (*GetTitle)(void* context, char* title, int capacity);
    void (*SetTitle)(void* context, const char* title);
    // The product label (control 1001) in the large font, and the platform label (1002).
    void (*SetProductLabel)(void* context, const char* text);
    void (*SetPlatformLabel)(void* context, const char* text);
    int (*FindLanguage)(void* context, LanguageCode code);
    void (*AddLanguage)(void* context, const WideChar* displayName, LanguageCode code);
};

// The EntryHandler of the scan pass; userData is a ScanView. Always 0.
int32_t OnScanEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData);
void ReadPackageDescription(const ScanView* view, const uint8_t* preview, uint32_t size);
void ReadLanguageFile(const ScanView* view, const uint8_t* preview, uint32_t size, const WideChar* entryPath);
