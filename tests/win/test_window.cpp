#include "test_window.h"

#include <commctrl.h>

namespace {

constexpr wchar_t kHostClass[] = L"WinTestsHost";

bool RegisterHostClass() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    if (!InitCommonControlsEx(&controls)) return false;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    return RegisterClassExW(&windowClass) != 0;
}

HWND CreateHostWindow() {
    if (!RegisterHostClass()) return nullptr;
    HWND window = CreateWindowExW(0, kHostClass, L"win_tests", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

}  // namespace

HWND TestHostWindow() {
    static const HWND host = CreateHostWindow();
    return host;
}

HWND CreateListView(HWND parent, int width, int height) {
    if (!parent) return nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SORTASCENDING;
    return CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
