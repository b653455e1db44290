#include "install/install_action.h"

#include <new>

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

// The files are in place: what follows reports nothing of its own.
void AfterExtraction(InstallJob* job) {
    const InstallContext* context = &job->extract.context;
    DeleteUncheckedLanguages(context);
    RememberDestination(job->productCode, context->destinationFolder);
    if (!context->uninstaller[0]) return;
    wchar_t mainProgramPath[1024], uninstallerPath[1028];
    mainProgramPath[0] = 0;
    if (context->mainProgram[0]) {
        SetBounded(context->destinationFolder, mainProgramPath, 1024);
        AppendPathComponent(context->mainProgram, mainProgramPath, 1024);
    }
    SetBounded(context->destinationFolder, uninstallerPath, 1028);
    AppendPathComponent(context->uninstaller, uninstallerPath, 1028);
    RegisterUninstall(job->productName, uninstallerPath, mainProgramPath);
}

void CreateShortcuts(const InstallJob* job, const wchar_t* productName) {
    const InstallContext* context = &job->extract.context;
    if (!context->mainProgram[0]) return;
    if (job->programGroup) CreateProgramGroup(context);
    wchar_t target[1028];
    SetBounded(context->destinationFolder, target, 1028);
    AppendPathComponent(context->mainProgram, target, 1028);
    if (job->desktopShortcut) CreateDesktopShortcut(target, productName);
    if (job->quickLaunchShortcut) CreateQuickLaunchShortcut(target, productName);
}

// Keys and clicks that arrived while the install ran were meant for a busy
// window, not for the box that is about to appear: an Enter would close it
// unread.
void DropPendingInput(HWND dialog) {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    (void)dialog;
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

void ShowFailure(HWND dialog, int32_t result) {
    if (result > 0)
        ShowSystemError(dialog, static_cast<DWORD>(result), nullptr);
    else
        ShowTableMessage(dialog, STRING_BROKEN_FILE, gInstallerState->setupPath, MB_ICONERROR);
}

}  // namespace

InstallJob* CreateInstallJob(const wchar_t* destinationFolder, const LanguageChoice* languages, int languageCount,
                             PassEventSink sink, const StreamCache* replay) {
    InstallerState* state = gInstallerState;
    size_t languageBytes = sizeof(LanguageChoice) * static_cast<size_t>(languageCount > 0 ? languageCount : 0);
    void* block = AllocZeroed(sizeof(InstallJob) + languageBytes);
    PassEvent* doneEvent = NewPassEvent(EVENT_DONE);
    if (!block || !doneEvent) {
        FreeAndNull(&block);
        FreePassEvent(doneEvent);
        return nullptr;
    }
    InstallJob* job = new (block) InstallJob;
    job->doneEvent = doneEvent;
    PrepareExtractJob(&job->extract, state->setupFile, sink);
    job->extract.replay = replay;
    InstallContext* context = &job->extract.context;
    CopyBounded(destinationFolder, context->destinationFolder, 1024);
    ToWide(state->mainProgram, context->mainProgram, 32);
    ChoosePlatformFolder(context);
    CopyBounded(state->languageFileBase, context->languageFileBase, LANGUAGE_FILE_BASE_CAPACITY);
    // The language checks live behind the job, in the same block.
    LanguageChoice* copy = reinterpret_cast<LanguageChoice*>(job + 1);
    for (int i = 0; i < languageCount; ++i) copy[i] = languages[i];
    context->languages = copy;
    context->languageCount = languageCount > 0 ? languageCount : 0;
    AppendBoundedA(state->productCode, job->productCode, PRODUCT_CODE_CAPACITY);
    AppendBoundedA(state->productName, job->productName, PRODUCT_NAME_CAPACITY);
    return job;
}

void FreeInstallJob(InstallJob* job) {
    if (!job) return;
    FreePassEvent(job->doneEvent);
    job->~InstallJob();
    void* block = job;
    FreeAndNull(&block);
}

void RunInstallJob(void* argument) {
    InstallJob* job = static_cast<InstallJob*>(argument);
    const wchar_t* folder = job->extract.context.destinationFolder;
    SetErrorMode(SEM_FAILCRITICALERRORS);
    CreateDirectoryTree(folder);
    RenameOldPsapi(folder);
    job->result = RunExtractJob(&job->extract);
    if (job->result == 0) AfterExtraction(job);
    PassEvent* done = job->doneEvent;
    job->doneEvent = nullptr;
    done->value = job->result;
    done->done = done->total = job->extract.total;
    SendPassEvent(&job->extract.sink, done, &job->extract.stop);
}

int FinishInstall(HWND dialog, InstallJob* job) {
    DropPendingInput(dialog);
    if (job->result != 0) {
        ShowFailure(dialog, job->result);
        return job->result;
    }
    wchar_t productName[PRODUCT_NAME_CAPACITY], linkName[PRODUCT_NAME_CAPACITY];
    ToWide(job->productName, productName, PRODUCT_NAME_CAPACITY);
    ProductFileName(job->productName, linkName, PRODUCT_NAME_CAPACITY);
    CreateShortcuts(job, linkName);
    ShowSuccess(dialog, productName);
    return 0;
}
