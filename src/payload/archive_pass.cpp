#include "payload/archive_pass.h"

#include "payload/payload_container.h"

namespace {

// One pass's wiring: the reader, where it reads the setup file, and who
// watches the pass go.
struct PassRun {
    ArchiveReader* reader;
    const PassObserver* observer;
    uint64_t position;  // of the next read in the setup file
    uint32_t done;      // stream bytes the reader has taken
};

int32_t ReadSetupFile(void* self, uint8_t* buffer, uint32_t* count) {
    PassRun* run = static_cast<PassRun*>(self);
    uint32_t room = *count;
    if (!FileReadAt(run->reader->setupFile, run->position, buffer, room, count)) {
        *count = 0;
        return LastErrorOr(ERROR_CODE_ACCESS_DENIED);
    }
    run->position += *count;
    return 0;
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
    run->position = offset;
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

int32_t RunPassOnFile(ArchiveReader* reader, FileHandle setupFile, EntryHandler handler, void* userData,
                      const PassObserver* observer) {
    StartArchiveReader(reader, handler, userData);
    reader->setupFile = setupFile;
    PassRun run = {reader, observer, 0, 0};
    int32_t result = DecodePayload(&run);
    reader->setupFile = NO_FILE;
    // An entry cut short by the end of the stream or a stop: its file is dropped.
    CloseArchiveReaderOutput(reader);
    if (result == 0) result = reader->error;
    if (result != 0) return result;
    // A file without an archive header (no payload, or one that decodes to
    // nothing) is broken, not an empty package.
    if (reader->state == READER_EXPECT_HEADER) return PASS_BROKEN;
    return reader->checksum == reader->announcedChecksum ? 0 : PASS_BROKEN;
}

int32_t RunObservedPass(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData,
                        const PassObserver* observer) {
    FileHandle file = FileOpenRead(setupPath);
    if (file == NO_FILE) {
        StartArchiveReader(reader, handler, userData);
        return LastErrorOr(ERROR_CODE_ACCESS_DENIED);
    }
    int32_t result = RunPassOnFile(reader, file, handler, userData, observer);
    FileClose(file);
    return result;
}

int32_t RunArchivePassOn(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData) {
    return RunObservedPass(reader, setupPath, handler, userData, nullptr);
}
