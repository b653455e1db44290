// A stand-in for a running copy of the product: a top-level window of the
// product's class that writes down what it is told, as a product with
// unsaved work would meet it.
//
// usage: standin_product CLASS LOG MODE
//   MODE n       closes itself on the nth WM_CLOSE (1: at once)
//   MODE prompt  on the first WM_CLOSE disables its window, as a window that
//                asks "save your work?" does, and stays
// The log gets one line per event: "ready", "close N", and
// "foreign-destroy" for a WM_DESTROY that it did not cause itself.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

FILE* gLog;
int gCloseOn;  // 0: the prompt mode
int gCloses;
bool gDestroying;

void Log(const char* line) {
    fprintf(gLog, "%s\n", line);
    fflush(gLog);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: {
            char line[32];
            snprintf(line, sizeof line, "close %d", ++gCloses);
            Log(line);
            if (gCloseOn == 0) {
                EnableWindow(window, FALSE);
            } else if (gCloses >= gCloseOn) {
                gDestroying = true;
                DestroyWindow(window);
            }
            return 0;
        }
        case WM_DESTROY:
            if (!gDestroying) {
                Log("foreign-destroy");
                return 0;
            }
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    gLog = fopen(argv[2], "wb");
    if (!gLog) return 2;
    gCloseOn = strcmp(argv[3], "prompt") == 0 ? 0 : atoi(argv[3]);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = argv[1];
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(argv[1], "Stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!window) return 3;
    Log("ready");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    fclose(gLog);
    return 0;
}
