#include "install/instance_shutdown.h"

#include <windows.h>

namespace {

struct Search {
    const char* windowClass;
    bool askToClose;
    int found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    char name[64];
    if (GetClassNameA(window, name, sizeof name) == 0 || lstrcmpiA(name, search->windowClass) != 0) return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return TRUE;
    ++search->found;
    if (search->askToClose && IsWindowEnabled(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

int FindProductWindows(const char* windowClass, bool askToClose) {
    if (!windowClass || !windowClass[0]) return 0;
    Search search = {windowClass, askToClose, 0};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
