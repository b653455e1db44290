#include "install/instance_shutdown.h"

#include <windows.h>

#include "core/installer_state.h"
#include "support/bounded_text.h"

unsigned long __stdcall CloseRunningInstances(void* parameter) {
    char* windowClass = static_cast<char*>(parameter);
    // No pause and no limit: a window stays findable until its own program
    // destroys it or ends, and is sent the message again until then.
    while (HWND window = FindWindowA(windowClass, nullptr)) SendMessageW(window, WM_DESTROY, 0, 0);
    HeapFree(GetProcessHeap(), 0, windowClass);
    return 0;
}

void StartCloseRunningInstances(const char* windowClass) {
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, WINDOW_CLASS_CAPACITY));
    if (!copy) return;
    AppendBoundedA(windowClass, copy, WINDOW_CLASS_CAPACITY);
    HANDLE thread = CreateThread(nullptr, 0, CloseRunningInstances, copy, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        HeapFree(GetProcessHeap(), 0, copy);
}
