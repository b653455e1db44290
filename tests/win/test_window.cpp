#include "test_window.h"

#include <commctrl.h>

namespace {

constexpr wchar_t kHostClass[] = L"WinTestsHost";

bool RegisterHostClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        if (!InitCommonControlsEx(&controls)) return false;
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kHostClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}

}  // namespace

TestWindow::TestWindow(int clientWidth, int clientHeight) : window_(nullptr) {
    if (!RegisterHostClass()) return;
    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    window_ = CreateWindowExW(0, kHostClass, L"win_tests", WS_OVERLAPPEDWINDOW, 0, 0, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_) ShowWindow(window_, SW_SHOWNOACTIVATE);
}

TestWindow::~TestWindow() {
    if (window_) DestroyWindow(window_);
}

HWND CreateListView(HWND parent, int width, int height) {
    if (!parent) return nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SORTASCENDING;
    return CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
