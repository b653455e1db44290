#include "install/install_action.h"

#include "core/control_ids.h"
#include "core/installer_pass.h"
#include "core/installer_state.h"
#include "core/string_tables.h"
#include "core/table_messages.h"
#include "install/cleanup.h"
#include "install/destination.h"
#include "install/shortcuts.h"
#include "install/uninstall_registration.h"
#include "support/bounded_text.h"
#include "support/files_messages.h"

namespace {

void ShowStatus(void* dialog, const WideChar* path) {
    SetDlgItemTextW(static_cast<HWND>(dialog), ID_STATUS_LINE, path);
}

const ExtractView kDialogView = {ShowStatus};

void ChoosePlatformFolder(InstallContext* context) {
    uint8_t folders = gInstallerState->platformFolders;
    // setup.exe is a 64-bit program, so the system always runs 64-bit files.
    if (folders & PLATFORM_FOLDER_64)
        CopyBounded(L"64", context->platformFolder, 4);
    else if (folders & PLATFORM_FOLDER_32)
        CopyBounded(L"32", context->platformFolder, 4);
}

void DeleteUncheckedLanguages(const InstallContext* context) {
    for (int i = 0; i < context->languageCount; ++i) {
        const LanguageChoice& language = context->languages[i];
        if (language.checked || language.code == LANGUAGE_US) continue;
        char letters[5];
        LanguageCodeText(language.code, letters);
        DeleteLanguageFiles(context->destinationFolder, letters);
    }
}

void CreateShortcuts(HWND dialog, const InstallContext* context, const wchar_t* productName) {
    if (!context->mainProgram[0]) return;
    if (IsDlgButtonChecked(dialog, ID_PROGRAM_GROUP_BOX) == BST_CHECKED) CreateProgramGroup(context);
    wchar_t target[1028];
    SetBounded(context->destinationFolder, target, 1028);
    AppendPathComponent(context->mainProgram, target, 1028);
    if (IsDlgButtonChecked(dialog, ID_DESKTOP_BOX) == BST_CHECKED) CreateDesktopShortcut(target, productName);
    if (IsDlgButtonChecked(dialog, ID_QUICK_LAUNCH_BOX) == BST_CHECKED) CreateQuickLaunchShortcut(target, productName);
}

void ShowSuccess(HWND dialog, const wchar_t* productName) {
    int length = WideLength(productName);
    if (length + 10 >= 1028) return;
    wchar_t text[1028];
    CopyBounded(productName, text, 1028);
    LookupString(gInstallerState->strings, STRING_INSTALLED, text + length, 1027 - length);
    wchar_t title[1024];
    title[0] = 0;
    GetWindowTextW(dialog, title, 1024);
    ShowMessage(dialog, text, title, MB_ICONINFORMATION);
}

// Runs the extract pass; shows its failure and returns its status.
int ExtractFiles(HWND dialog, InstallContext* context, HCURSOR previous) {
    InstallerState* state = gInstallerState;
    int status = RunArchivePass(state->setupPath, OnExtractEntry, context);
    if (status == 0) return 0;
    SetCursor(previous);
    if (status > 0)
        ShowSystemError(dialog, static_cast<DWORD>(status), nullptr);
    else
        ShowTableMessage(dialog, STRING_BROKEN_FILE, state->setupPath, MB_ICONERROR);
    return status;
}

}  // namespace

int RunInstall(HWND dialog, const LanguageChoice* languages, int languageCount) {
    InstallerState* state = gInstallerState;
    wchar_t productName[PRODUCT_NAME_CAPACITY];
    ToWide(state->productName, productName, PRODUCT_NAME_CAPACITY);
    InstallContext context;
    ZeroMemory(&context, sizeof context);
    context.dialog = dialog;
    context.view = &kDialogView;
    context.languages = languages;
    context.languageCount = languageCount;
    ToWide(state->mainProgram, context.mainProgram, 32);
    ChoosePlatformFolder(&context);
    GetDlgItemTextW(dialog, ID_DESTINATION_EDIT, context.destinationFolder, 1022);
    if (!context.destinationFolder[0]) return -1;

    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SetErrorMode(SEM_FAILCRITICALERRORS);
    CreateDirectoryTree(context.destinationFolder);
    RenameOldPsapi(context.destinationFolder);
    int status = ExtractFiles(dialog, &context, previous);
    if (status != 0) return status;

    // The files are in place: what follows reports nothing of its own.
    SetDlgItemTextW(dialog, ID_STATUS_LINE, L"");
    DeleteUncheckedLanguages(&context);
    RememberDestination(context.destinationFolder);
    wchar_t mainProgramPath[1024];
    mainProgramPath[0] = 0;
    if (context.mainProgram[0]) {
        SetBounded(context.destinationFolder, mainProgramPath, 1024);
        AppendPathComponent(context.mainProgram, mainProgramPath, 1024);
    }
    if (context.uninstaller[0]) {
        wchar_t uninstallerPath[1028];
        SetBounded(context.destinationFolder, uninstallerPath, 1028);
        AppendPathComponent(context.uninstaller, uninstallerPath, 1028);
        RegisterUninstall(uninstallerPath, mainProgramPath);
    }
    CreateShortcuts(dialog, &context, productName);
    SetCursor(previous);
    ShowSuccess(dialog, productName);
    return 0;
}
