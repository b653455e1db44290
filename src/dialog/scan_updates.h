// The dialog's side of the scan: the worker is started while the dialog
// initialises, and what it finds fills the dialog as it arrives. OK is
// enabled once the whole package has been read and its checksum matched; a
// broken package shows the broken-file message and ends the setup.
#pragma once

#include <windows.h>

#include "passes/pass_events.h"

// Starts the scan on a worker (or, when no thread can be made, runs it here).
void StartScan(HWND dialog);
// One event of the scan; frees it.
void OnScanEvent(HWND dialog, PassEvent* event);
// TIMER_SHOW_CHECKING: the check is still running after a moment.
void OnCheckingTimer(HWND dialog);
