#include "payload/archive_pass.h"

#include <string.h>

#include "payload/decode_pipeline.h"
#include "payload/payload_container.h"

namespace {

// One pass's wiring: the reader, where it reads the setup file, what it
// keeps, and who watches the pass go.
struct PassRun {
    ArchiveReader* reader;
    const PassOptions* options;
    uint64_t position;  // of the next read in the setup file (the decoder's side)
    uint32_t done;      // stream bytes the reader has taken (the reader's side)
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
    StreamCache* keep = run->options->keep;
    if (keep && !keep->bytes && unpackedSize > 0 && unpackedSize <= keep->budget) {
        // One allocation at the announced size; without it, nothing is kept.
        keep->bytes = static_cast<uint8_t*>(MemAlloc(unpackedSize));
        keep->size = keep->bytes ? unpackedSize : 0;
        keep->filled = 0;
    }
    const PassObserver* observer = run->options->observer;
    if (observer && observer->Started) observer->Started(observer->self, unpackedSize);
}

uint32_t FeedReader(void* self, uint8_t* block, uint32_t length) {
    PassRun* run = static_cast<PassRun*>(self);
    // Kept as decoded, before the reader restores its data bytes in place.
    StreamCache* keep = run->options->keep;
    if (keep && keep->bytes) {
        uint32_t room = keep->size - keep->filled;
        uint32_t n = length < room ? length : room;
        memcpy(keep->bytes + keep->filled, block, n);
        keep->filled += n;
    }
    if (ArchiveFeed(block, length, run->reader) != 0) return 0;
    run->done += length;
    const PassObserver* observer = run->options->observer;
    if (observer && observer->Advanced && !observer->Advanced(observer->self, run->reader, run->done)) return 0;
    return length;
}

// A stop is the reader's when it recorded an output-file error: that code
// says what went wrong, where a negative result would blame the setup file.
// Otherwise the observer asked to stop.
int32_t StopResult(const ArchiveReader* reader) { return reader->error != 0 ? reader->error : PASS_STOPPED; }

// Feeds the reader the stream that a checked pass kept, in blocks of its own:
// the reader restores data in place, so it never gets the cache's memory.
int32_t ReplayStream(PassRun* run, const StreamCache* replay) {
    uint8_t* block = static_cast<uint8_t*>(MemAlloc(DECODE_BLOCK_SIZE));
    if (!block) return -static_cast<int32_t>(ERROR_CODE_NOT_ENOUGH_MEMORY);
    BeginStream(run, replay->size);
    int32_t result = 0;
    for (uint32_t at = 0; at < replay->size;) {
        uint32_t n = replay->size - at < DECODE_BLOCK_SIZE ? replay->size - at : DECODE_BLOCK_SIZE;
        memcpy(block, replay->bytes + at, n);
        if (FeedReader(run, block, n) != n) {
            result = StopResult(run->reader);
            break;
        }
        at += n;
    }
    MemFree(block);
    return result != 0 ? result : run->reader->error;
}

// Finds and decodes the payload of the open setup file into the reader. The
// setup file's own failures (read, decoding) are negative: the file is what
// is wrong; an output file's failure is its positive code.
int32_t DecodePayload(PassRun* run) {
    const StreamCache* replay = run->options->replay;
    if (replay && replay->complete) return ReplayStream(run, replay);
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
    int32_t decoded = run->options->pipelined ? DecodeLzmaStreamBeside(&source, &sink)
                                              : DecodeLzmaStream(&source, &sink);
    if (decoded == DECODE_STOPPED_BY_SINK) return StopResult(reader);
    return decoded > 0 ? -decoded : reader->error;
}

}  // namespace

void ReleaseStreamCache(StreamCache* cache) {
    MemFree(cache->bytes);
    cache->bytes = nullptr;
    cache->size = cache->filled = 0;
    cache->complete = false;
}

int32_t RunPass(ArchiveReader* reader, FileHandle setupFile, EntryHandler handler, void* userData,
                const PassOptions* options) {
    static const PassOptions kPlain = {};
    if (!options) options = &kPlain;
    StartArchiveReader(reader, handler, userData);
    reader->setupFile = setupFile;
    PassRun run = {reader, options, 0, 0};
    int32_t result = DecodePayload(&run);
    reader->setupFile = NO_FILE;
    // An entry cut short by the end of the stream or a stop: its file is dropped.
    CloseArchiveReaderOutput(reader);
    if (result == 0) result = reader->error;
    // A file without an archive header (no payload, or one that decodes to
    // nothing) is broken, not an empty package.
    if (result == 0 && reader->state == READER_EXPECT_HEADER) result = PASS_BROKEN;
    if (result == 0 && reader->checksum != reader->announcedChecksum) result = PASS_BROKEN;
    StreamCache* keep = options->keep;
    if (keep) keep->complete = result == 0 && keep->bytes && keep->filled == keep->size;
    return result;
}

int32_t RunPassOnFile(ArchiveReader* reader, FileHandle setupFile, EntryHandler handler, void* userData,
                      const PassObserver* observer) {
    PassOptions options = {};
    options.observer = observer;
    return RunPass(reader, setupFile, handler, userData, &options);
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
