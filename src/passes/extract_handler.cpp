#include "passes/extract_handler.h"

#include "support/ascii.h"
#include "support/bounded_text.h"
#include "support/name_rule.h"

namespace {

int IndexOf(const WideChar* text, WideChar c) {
    for (int i = 0; text[i]; ++i)
        if (text[i] == c) return i;
    return -1;
}

// Drops entries outside the platform folder; returns the relative name (the
// text after the first backslash), or null when the entry is dropped.
const WideChar* PassPlatformFolder(const InstallContext* context, const WideChar* path) {
    int backslash = IndexOf(path, '\\');
    if (backslash < 0) return path;
    WideChar folder[1024];
    CopyBounded(path, folder, 1024);
    StripLastComponent(folder);
    if (context->platformFolder[0] && !EqualsIgnoringCase(folder, context->platformFolder)) return nullptr;
    return path + backslash + 1;
}

// Whether a language file of an unchecked language.
bool IsUncheckedLanguageFile(const InstallContext* context, const WideChar* relative) {
    LanguageCode code;
    return LanguageOfFile(relative, context->languageFileBase, &code) && LanguageCheck(context, code) == 0;
}

void NoteProgram(InstallContext* context, const WideChar* fileName) {
    if (EqualsIgnoringCase(fileName, "UnInst.exe")) {
        CopyBounded(fileName, context->uninstaller, 32);
        return;
    }
    int length = WideLength(fileName);
    if (context->mainProgram[0] || length <= 4 || UpperAscii(fileName[0]) != 'N') return;
    if (!EqualsIgnoringCase(fileName + length - 4, ".EXE")) return;
    CopyBounded(fileName, context->mainProgram, 32);
}

}  // namespace

// Base_XX.ext, where only the underscore's position after the base's length
// counts, and one to four letters up to the first dot make the code.
bool LanguageOfFile(const WideChar* fileName, const WideChar* languageFileBase, LanguageCode* code) {
    int base = WideLength(languageFileBase);
    if (WideLength(fileName) <= base || fileName[base] != '_') return false;
    WideChar codeText[8];
    int n = 0;
    for (const WideChar* c = fileName + base + 1; *c && *c != '.'; ++c) {
        if (n == 4) return false;  // five or more characters: no language code
        codeText[n++] = *c;
    }
    codeText[n] = 0;
    char narrow[5];
    ToNarrow(codeText, narrow, sizeof narrow);
    *code = PackLanguageCode(narrow, NarrowLength(narrow));
    return true;
}

int LanguageCheck(const InstallContext* context, LanguageCode code) {
    for (int i = 0; i < context->languageCount; ++i)
        if (context->languages[i].code == code) return context->languages[i].checked ? 1 : 0;
    return -1;
}

int32_t OnExtractEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t, void* userData) {
    if (preview) return 0;
    InstallContext* context = static_cast<InstallContext*>(userData);
    const WideChar* relative = PassPlatformFolder(context, pathBuffer);
    if (!relative || IsUncheckedLanguageFile(context, relative)) {
        pathBuffer[0] = 0;
        return 0;
    }
    // A name that Windows would not make a plain file of never reaches the
    // disk; the check has refused the package before it came to this.
    const WideChar* name = pathBuffer + FileNameOffset(pathBuffer);
    if (!IsSafeName(name, WideLength(name))) {
        pathBuffer[0] = 0;
        return 0;
    }
    WideChar destination[1024];
    SetBounded(context->destinationFolder, destination, 1024);
    AppendPathComponent(name, destination, 1024);
    NoteProgram(context, name);
    CopyBounded(destination, pathBuffer, 1024);
    context->view->ShowStatus(context->dialog, pathBuffer);
    return 1;
}
