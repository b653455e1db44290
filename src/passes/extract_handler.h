// The extract pass's entry handler: which entries are installed, and where.
// Entries outside the chosen platform folder, language files of unchecked
// languages and names that break the name rule are dropped; every installed
// file lands directly in the destination folder under its file name, and
// replaces an older file of that name once it is whole.
#pragma once

#include <stdint.h>

#include "platform/platform.h"
#include "support/language_code.h"

// One language of the dialog's list and its check, as it stood on OK.
struct LanguageChoice {
    LanguageCode code;
    bool checked;
};

// What the handler shows while it works, so that the filter runs the same
// against the real dialog and in tests.
struct ExtractView {
    void (*ShowStatus)(void* dialog, const WideChar* path);
};

struct InstallContext {
    void* dialog;                       // the setup dialog (an HWND), for the view
    WideChar destinationFolder[1024];
    WideChar mainProgram[32];           // from the header, else the first N*.exe installed
    WideChar uninstaller[32];           // UnInst.exe as spelled in the archive
    WideChar platformFolder[4];         // "64", "32" or empty: no platform filter
    WideChar languageFileBase[32];      // the language files' stem, as the scan found it
    const LanguageChoice* languages;    // the language list's items; none without a list
    int languageCount;
    const ExtractView* view;
};

// Whether fileName is a language file of the package (languageFileBase, an
// underscore, one to four letters, then a dot or the end), and its code.
bool LanguageOfFile(const WideChar* fileName, const WideChar* languageFileBase, LanguageCode* code);

// 1 when the language is checked, 0 when unchecked, -1 when the list does not hold it.
int LanguageCheck(const InstallContext* context, LanguageCode code);

// The EntryHandler of the extract pass; userData is the InstallContext.
int32_t OnExtractEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData);
