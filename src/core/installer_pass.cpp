#include "core/installer_pass.h"

#include "core/installer_state.h"

namespace {

void CopyNarrow(const char* source, char* destination, size_t capacity) {
    size_t i = 0;
    for (; i + 1 < capacity && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
}

}  // namespace

void PublishArchiveHeader(const char* productCode, const char* windowClass, const char* mainProgram) {
    InstallerState* state = gInstallerState;
    if (!state) return;
    CopyNarrow(productCode, state->productCode, sizeof state->productCode);
    CopyNarrow(windowClass, state->windowClass, sizeof state->windowClass);
    CopyNarrow(mainProgram, state->mainProgram, sizeof state->mainProgram);
}

int32_t RunArchivePass(const WideChar* setupPath, EntryHandler handler, void* userData) {
    ArchiveReader* reader = static_cast<ArchiveReader*>(MemAlloc(sizeof(ArchiveReader)));
    if (!reader) return -static_cast<int32_t>(ERROR_CODE_NOT_ENOUGH_MEMORY);
    int32_t result = RunArchivePassOn(reader, setupPath, handler, userData);
    if (result == 0) PublishArchiveHeader(reader->productCode, reader->windowClass, reader->mainProgram);
    MemFree(reader);
    return result;
}
