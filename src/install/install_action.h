// What OK does, in two halves: on a worker thread, create the folder,
// extract the chosen files, clean up, remember the folder and register the
// product; on the dialog's thread afterwards, make the shortcuts (COM
// belongs to the dialog's thread) and report success or the failure.
#pragma once

#include <windows.h>

#include "core/installer_state.h"
#include "passes/extract_job.h"

// One install. The dialog's thread fills everything but `result` before the
// worker starts (CreateInstallJob); the worker owns the job until it has sent
// EVENT_DONE; after joining the worker the dialog's thread owns it again.
struct InstallJob {
    ExtractJob extract;                       // the pass and its context
    char productCode[PRODUCT_CODE_CAPACITY];  // names the remembered folder
    char productName[PRODUCT_NAME_CAPACITY];  // names the uninstall entry
    bool programGroup, desktopShortcut, quickLaunchShortcut;
    int32_t result;                           // the extract pass's result
    PassEvent* doneEvent;                     // made with the job, so the end is always told
};

// A job for the current installer state and the given choices; null when
// memory runs out. languages is copied.
// replay: the stream the check kept, lent for the job's life (may be empty).
InstallJob* CreateInstallJob(const wchar_t* destinationFolder, const LanguageChoice* languages, int languageCount,
                             PassEventSink sink, const StreamCache* replay);
void FreeInstallJob(InstallJob* job);

// The worker's procedure (argument: the job): the folder, PSAPI.DLL aside,
// the extract pass, and after a successful pass the unchecked languages'
// files removed, the folder remembered and the product registered. Sends
// EVENT_DONE with the pass's result (0 or its failure) last.
void RunInstallJob(void* job);

// On the dialog's thread, after EVENT_DONE: with result 0 the shortcuts and
// the success message (input that arrived meanwhile is dropped first), else
// the failure's message. Returns the result.
int FinishInstall(HWND dialog, InstallJob* job);
