// The process-wide installer state: everything that more than one step of a
// run needs to know. Allocated zero-filled at start-up, released after the
// dialog has closed; plain data, read and written directly by its users.
#pragma once

#include <stdint.h>

#include "platform/platform.h"
#include "support/bounded_text.h"

struct StringTable;

enum : uint8_t {
    PLATFORM_FOLDER_32 = 1,  // an entry lies in a top folder "32"
    PLATFORM_FOLDER_64 = 2,  // an entry lies in a top folder "64"
};

enum : int {
    PRODUCT_CODE_CAPACITY = 4,
    PRODUCT_NAME_CAPACITY = 32,
    WINDOW_CLASS_CAPACITY = 32,
    MAIN_PROGRAM_CAPACITY = 32,
    LANGUAGE_FILE_BASE_CAPACITY = 32,
};

struct InstallerState {
    void* appIcon;                         // icon resource 1 (an HICON)
    char uiLanguage[3];                    // two letters
    const StringTable* strings;            // the active string table
    char productCode[PRODUCT_CODE_CAPACITY];       // published by each successful pass
    char productName[PRODUCT_NAME_CAPACITY];       // from the package description
    char windowClass[WINDOW_CLASS_CAPACITY];       // published by each successful pass
    char mainProgram[MAIN_PROGRAM_CAPACITY];       // published by each successful pass
    uint8_t platformFolders;                       // PLATFORM_FOLDER_* bits
    WideChar languageFileBase[LANGUAGE_FILE_BASE_CAPACITY];
    WideChar setupPath[PATH_CAPACITY];             // the running executable's full path
    // The setup file, opened once at start and held until the end, shared
    // for reading only: every pass reads these bytes, and nobody can replace
    // or rename the file in between. NO_FILE, with the reason, when it
    // could not be opened.
    FileHandle setupFile;
    int32_t setupFileError;
    // The largest decoded stream the check keeps for the install to replay:
    // a quarter of the physical memory free at start, at most 1 GiB.
    uint32_t replayBudget;
};

// Set by start-up before the dialog exists, cleared when the state is released.
extern InstallerState* gInstallerState;

// Allocates a zero-filled state and makes it the process-wide one; null when
// memory runs out.
InstallerState* CreateInstallerState();
void ReleaseInstallerState();
