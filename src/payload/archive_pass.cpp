#include "payload/archive_pass.h"

#include <string.h>

#include "core/installer_state.h"
#include "payload/payload_container.h"

namespace {

int32_t ReadSetupFile(void* self, uint8_t* buffer, uint32_t* count) {
    ArchiveReader* reader = static_cast<ArchiveReader*>(self);
    uint32_t room = *count;
    if (FileRead(reader->setupFile, buffer, room, count)) return 0;
    *count = 0;
    return LastErrorOr(ERROR_CODE_ACCESS_DENIED);
}

uint32_t FeedReader(void* self, uint8_t* block, uint32_t length) {
    return ArchiveFeed(block, length, static_cast<ArchiveReader*>(self)) == 0 ? length : 0;
}

void CopyNarrow(const char* source, char* destination, size_t capacity) {
    size_t i = 0;
    for (; i + 1 < capacity && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
}

}  // namespace

int32_t RunArchivePassOn(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData) {
    memset(reader, 0, sizeof *reader);
    reader->outputFile = NO_FILE;
    reader->setupFile = FileOpenRead(setupPath);
    if (reader->setupFile == NO_FILE) return LastErrorOr(ERROR_CODE_ACCESS_DENIED);
    uint32_t size = FileSize32(reader->setupFile);
    if (size == 0xFFFFFFFFu) size = 0;
    int32_t result = 0;
    if (size > 0) {
        uint32_t offset = FindPayloadOffset(reader->setupFile, size);
        if (offset > 0) {
            PayloadSource source = {ReadSetupFile, reader};
            ArchiveSink sink = {FeedReader, reader};
            reader->handler = handler;
            reader->userData = userData;
            FileSeek(reader->setupFile, static_cast<int32_t>(offset));
            int32_t decoded = DecodeLzmaStream(&source, &sink);
            result = decoded > 0 ? -decoded : reader->error;
            // The reader stopped the decoding over an output file: the file's
            // own error (access denied, disk full) says what went wrong, where
            // a negative result would blame the setup file.
            if (decoded == DECODE_STOPPED_BY_SINK && reader->error != 0) result = reader->error;
        }
    }
    FileClose(reader->setupFile);
    reader->setupFile = NO_FILE;
    // An entry cut short by the end of the stream or a stop: its file is
    // closed as it is, without the package time.
    if (reader->outputFile != NO_FILE) {
        FileClose(reader->outputFile);
        reader->outputFile = NO_FILE;
    }
    if (result != 0) return result;
    // A file without an archive header (no payload, or one that decodes to
    // nothing) is broken, not an empty package.
    if (reader->state == READER_EXPECT_HEADER) return PASS_BROKEN;
    return reader->checksum == reader->announcedChecksum ? 0 : PASS_BROKEN;
}

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
