// Real windows for the Windows tests. Without a display Wine cannot create
// them, so the helpers here hand out null and the tests assert on it, rather
// than send messages to null handles, which would pass silently.
#pragma once

#include <windows.h>

// A shown top-level window for the controls under test, made on first use
// and kept until the program ends: with no window manager on the display,
// Wine waits two seconds for every shown top-level window that goes away.
// Null when there is no display.
HWND TestHostWindow();

// A list view child as the setup dialog's template declares it (report view,
// sorted ascending, border, tab stop, visible), of the given size. Null on
// failure. The caller destroys it.
HWND CreateListView(HWND parent, int width, int height);
