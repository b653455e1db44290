#include "payload/archive_pass.h"

#include "payload/payload_container.h"

namespace {

// One pass's wiring: the reader, and who watches the pass go.
struct PassRun {
    ArchiveReader* reader;
    const PassObserver* observer;
    uint32_t done;  // stream bytes the reader has taken
};

int32_t ReadSetupFile(void* self, uint8_t* buffer, uint32_t* count) {
    ArchiveReader* reader = static_cast<PassRun*>(self)->reader;
    uint32_t room = *count;
    if (FileRead(reader->setupFile, buffer, room, count)) return 0;
    *count = 0;
    return LastErrorOr(ERROR_CODE_ACCESS_DENIED);
}

void BeginStream(void* self, uint32_t unpackedSize) {
    PassRun* run = static_cast<PassRun*>(self);
    if (run->observer && run->observer->Started) run->observer->Started(run->observer->self, unpackedSize);
}

uint32_t FeedReader(void* self, uint8_t* block, uint32_t length) {
    PassRun* run = static_cast<PassRun*>(self);
    if (ArchiveFeed(block, length, run->reader) != 0) return 0;
    run->done += length;
    const PassObserver* observer = run->observer;
    if (observer && observer->Advanced && !observer->Advanced(observer->self, run->reader, run->done)) return 0;
    return length;
}

// Finds and decodes the payload of the open setup file into the reader. The
// setup file's own failures (seek, read, decoding) are negative: the file is
// what is wrong; an output file's failure is its positive code.
int32_t DecodePayload(PassRun* run) {
    ArchiveReader* reader = run->reader;
    uint32_t size = FileSize32(reader->setupFile);
    if (size == 0xFFFFFFFFu) size = 0;
    if (size == 0) return 0;
    int32_t error = 0;
    uint32_t offset = FindPayloadOffset(reader->setupFile, size, &error);
    if (error != 0) return -error;
    if (offset == 0) return 0;
    if (!FileSeek(reader->setupFile, static_cast<int32_t>(offset))) return -LastErrorOr(ERROR_CODE_ACCESS_DENIED);
    PayloadSource source = {ReadSetupFile, run};
    ArchiveSink sink = {FeedReader, run, BeginStream};
    int32_t decoded = DecodeLzmaStream(&source, &sink);
    if (decoded == DECODE_STOPPED_BY_SINK) {
        // The reader stopped the decoding over an output file: the file's own
        // error (access denied, disk full) says what went wrong, where a
        // negative result would blame the setup file. Otherwise the observer
        // asked to stop.
        return reader->error != 0 ? reader->error : PASS_STOPPED;
    }
    return decoded > 0 ? -decoded : reader->error;
}

}  // namespace

int32_t RunObservedPass(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData,
                        const PassObserver* observer) {
    StartArchiveReader(reader, handler, userData);
    reader->setupFile = FileOpenRead(setupPath);
    if (reader->setupFile == NO_FILE) return LastErrorOr(ERROR_CODE_ACCESS_DENIED);
    PassRun run = {reader, observer, 0};
    int32_t result = DecodePayload(&run);
    FileClose(reader->setupFile);
    reader->setupFile = NO_FILE;
    // An entry cut short by the end of the stream or a stop: its file is
    // closed as it is, without the package time.
    CloseArchiveReaderOutput(reader);
    if (result == 0) result = reader->error;
    if (result != 0) return result;
    // A file without an archive header (no payload, or one that decodes to
    // nothing) is broken, not an empty package.
    if (reader->state == READER_EXPECT_HEADER) return PASS_BROKEN;
    return reader->checksum == reader->announcedChecksum ? 0 : PASS_BROKEN;
}

int32_t RunArchivePassOn(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData) {
    return RunObservedPass(reader, setupPath, handler, userData, nullptr);
}
