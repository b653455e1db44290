#include "core/table_messages.h"

#include "core/installer_state.h"
#include "core/string_tables.h"
#include "support/files_messages.h"

int ShowTableMessage(HWND owner, int stringId, const wchar_t* captionPath, UINT style) {
    wchar_t text[512];
    LookupString(gInstallerState->strings, stringId, text, 510);
    return ShowMessage(owner, text, captionPath, style);
}
