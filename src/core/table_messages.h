// A message box with a text of the active string table.
#pragma once

#include <windows.h>

// ShowMessage with the text of stringId (at most 509 characters); 2 without
// a box when the active table lacks the id.
int ShowTableMessage(HWND owner, int stringId, const wchar_t* captionPath, UINT style);
