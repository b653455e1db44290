// The extract pass's entry handler: which entries are installed, and where.
// Entries outside the chosen platform folder and language files of
// unchecked languages are dropped; every installed file lands directly in
// the destination folder under its file name.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

typedef uint32_t LanguageCode;

// What the handler asks of the dialog, so that the filter runs the same
// against the real dialog and in tests.
struct ExtractView {
    // 1 checked, 0 unchecked, -1 when the list or the language is not there.
    int (*LanguageCheck)(void* dialog, LanguageCode code);
    void (*ShowStatus)(void* dialog, const WideChar* path);
};

struct InstallContext {
    void* dialog;                       // the setup dialog (an HWND)
    WideChar destinationFolder[1024];
    WideChar mainProgram[32];           // from the header, else the first N*.exe installed
    WideChar uninstaller[32];           // UnInst.exe as spelled in the archive
    WideChar platformFolder[4];         // "64", "32" or empty: no platform filter
    const ExtractView* view;
};

// The EntryHandler of the extract pass; userData is the InstallContext.
int32_t OnExtractEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData);
