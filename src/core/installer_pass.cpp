#include "core/installer_pass.h"

#include "core/installer_state.h"

namespace {

void CopyNarrow(const char* source, char* destination, size_t capacity) {
    size_t i = 0;
    for (; i + 1 < capacity && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
}

}  // namespace

int32_t RunArchivePass(const WideChar* setupPath, EntryHandler handler, void* userData) {
    ArchiveReader* reader = static_cast<ArchiveReader*>(MemAlloc(sizeof(ArchiveReader)));
    if (!reader) return -static_cast<int32_t>(ERROR_CODE_NOT_ENOUGH_MEMORY);
    int32_t result = RunArchivePassOn(reader, setupPath, handler, userData);
    if (result == 0 && gInstallerState) {
        InstallerState* state = gInstallerState;
        CopyNarrow(reader->productCode, state->productCode, sizeof state->productCode);
        CopyNarrow(reader->windowClass, state->windowClass, sizeof state->windowClass);
        CopyNarrow(reader->mainProgram, state->mainProgram, sizeof state->mainProgram);
    }
    MemFree(reader);
    return result;
}
