// The demo product's main program: one window that says which build runs
// and what its settings file holds. Its window class is the one the setup
// closes before it replaces the files.
#include <windows.h>

static wchar_t gText[1024];

static void LoadText() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') --length;
    lstrcpynW(path + length, L"NvDemo.ini", MAX_PATH - length);
    wchar_t platform[64];
    GetPrivateProfileStringW(L"Demo", L"Platform", L"unknown", platform, 64, path);
    wsprintfW(gText, L"Norvalent Demo is running.\n\nBuild: %s (%d-bit program)", platform,
              static_cast<int>(sizeof(void*) * 8));
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            InflateRect(&area, -16, -16);
            SetBkMode(dc, TRANSPARENT);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            DrawTextW(dc, gText, -1, &area, DT_LEFT | DT_WORDBREAK);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    LoadText();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"NvDemoMainWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"NvDemoMainWindow", L"Norvalent Demo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 360, 180, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
