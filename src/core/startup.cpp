// The entry point of setup.exe.
#include <windows.h>

#include "core/installer_state.h"
#include "payload/archive_pass.h"

namespace {

int32_t CountEntry(WideChar*, const uint8_t* preview, uint32_t, void* userData) {
    if (!preview) ++*static_cast<uint32_t*>(userData);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // A setup runs elevated from a downloads folder: never load a DLL from
    // beside it.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    InstallerState* state = CreateInstallerState();
    if (!state) return 0;
    GetModuleFileNameW(nullptr, state->setupPath, PATH_CAPACITY);
    state->setupPath[PATH_CAPACITY - 1] = 0;
    uint32_t entries = 0;
    int32_t result = RunArchivePass(state->setupPath, CountEntry, &entries);
    if (result != 0) MessageBoxW(nullptr, L"Broken file, please download again.", L"Setup", MB_ICONERROR);
    ReleaseInstallerState();
    return 0;
}
