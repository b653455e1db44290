#include "core/installer_state.h"

#include <string.h>

InstallerState* gInstallerState = nullptr;

InstallerState* CreateInstallerState() {
    void* block = MemAlloc(sizeof(InstallerState));
    if (!block) return nullptr;
    memset(block, 0, sizeof(InstallerState));
    gInstallerState = static_cast<InstallerState*>(block);
    gInstallerState->setupFile = NO_FILE;
    return gInstallerState;
}

void ReleaseInstallerState() {
    MemFree(gInstallerState);
    gInstallerState = nullptr;
}
