// Real windows for the Windows tests. Without a display Wine cannot create
// them, so every helper here reports failure instead of handing out null
// handles that later messages would silently ignore.
#pragma once

#include <windows.h>

// A shown top-level window that hosts the controls under test; destroyed,
// with its children, when it goes out of scope.
class TestWindow {
public:
    TestWindow(int clientWidth, int clientHeight);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }

private:
    HWND window_;
};

// A list view child as the setup dialog's template declares it (report view,
// sorted ascending, border, tab stop), filling the given size. Null on failure.
HWND CreateListView(HWND parent, int width, int height);
