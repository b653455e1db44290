// What OK does: create the folder, extract the chosen files, clean up,
// remember, register, make the shortcuts and report. 0 closes the dialog;
// -1 for an empty destination (nothing done, nothing shown); otherwise the
// extract pass's status, after its message was shown.
#pragma once

#include <windows.h>

int RunInstall(HWND dialog);
