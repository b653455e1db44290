// What the setup dialog keeps while it runs: which phase it is in, the
// worker thread and its job, and what the destination proposal has done.
// One dialog per process; everything here belongs to the dialog's thread.
//
// Threads: the dialog's thread owns every window, shows every message box
// and makes the shortcuts. A pass runs on one worker thread at a time (the
// scan, then each install attempt); it reports through WM_PASS_EVENT, whose
// lParam is a PassEvent that the dialog's thread then owns and frees.
#pragma once

#include <windows.h>

#include "install/install_action.h"
#include "passes/scan_job.h"

constexpr UINT WM_PASS_EVENT = WM_APP + 1;

enum : UINT_PTR {
    TIMER_SHOW_CHECKING = 1,     // a check that takes longer shows its progress
    TIMER_WAIT_FOR_PRODUCT = 2,  // polls for the product's windows to go
};

enum SetupPhase {
    PHASE_CHECKING,             // the scan runs; OK is disabled
    PHASE_READY,                // the package is sound; OK installs
    PHASE_WAITING_FOR_PRODUCT,  // OK pressed; the product's windows were asked to close
    PHASE_INSTALLING,           // the install worker runs; nothing takes input
};

struct SetupSession {
    SetupPhase phase;
    ThreadHandle worker;  // the running worker, or null
    ScanJob* scan;        // the scan's job, until its worker is joined
    InstallJob* install;  // the current install's job, until its worker is joined
    StreamCache replay;   // the checked stream, lent to each install; released after success
    HWND initialFocus;    // where the focus was when the dialog came up
    bool focusNoted;

    // The destination proposal: made once, from what the scan has found so far.
    bool proposed;
    bool presetForExisting;            // the proposed folder held an installation
    wchar_t presetFolder[1024];        // the folder the presets were made for
    bool settingDestination;           // the edit is being filled by the dialog itself
    bool userTypedDestination;
    bool settingLanguages;             // the list is being changed by the dialog itself
    bool userChangedLanguages;
    bool userChangedOptions;

    // Waiting for the product to close.
    char windowClass[32];
    uint64_t waitStart;
    uint64_t lastCloseRequest;
};

// Made before the dialog runs and released after it has ended.
bool CreateSetupSession();
void ReleaseSetupSession();
SetupSession* Session();

// The sink through which a worker reaches the dialog: a posted WM_PASS_EVENT.
PassEventSink DialogSink(HWND dialog);
// Tells a running worker to stop, waits for it, and frees every event still
// queued for the dialog. Only for a dialog that is going away.
void StopWorker(HWND dialog);
// Waits for a worker that has sent its last event.
void JoinWorker();

// Enables or disables everything the user could change or press; while
// disabled, the close box is greyed too.
void EnableChoices(HWND dialog, bool enabled);
// The progress bar at done of total (total 0: empty), shown or hidden.
void ShowProgress(HWND dialog, bool shown, uint32_t done, uint32_t total);
void SetStatus(HWND dialog, const wchar_t* text);
