// What OK starts: the choices are copied into an install job, the product's
// running copies are asked to close and waited for, then the install runs on
// a worker while the dialog shows its progress and takes no input. After a
// failure the dialog comes back for another try; after success it closes.
#pragma once

#include <windows.h>

#include "passes/pass_events.h"

void OnOk(HWND dialog);
// TIMER_WAIT_FOR_PRODUCT.
void OnProductWaitTimer(HWND dialog);
// One event of the install; frees it.
void OnInstallEvent(HWND dialog, PassEvent* event);
