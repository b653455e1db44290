// One complete pass over the payload of a setup file: open it, find and decode
// the payload, parse the archive with a reader that calls the handler for
// every entry, close the file and judge the checksum.
//
// Results:
//    0      decoded without error, no output-file error, checksums match
//   >0      a Windows error code: the setup file cannot be opened, or an
//           output file cannot be created, written, given its times or
//           closed (the first such code, whether the reader stopped the
//           decoding over it or not)
//   -1      the setup file holds no archive header, or the checksum differs
//   -1235   the pass's observer asked it to stop
//   other   the negated code of the decoding run (-13 corrupt data, -8 no
//           memory, -50 unsupported properties, -38 cut in the stream
//           header) or of a failed seek or read of the setup file
#pragma once

#include <stdint.h>

#include "payload/archive_reader.h"

constexpr int32_t PASS_BROKEN = -1;
constexpr int32_t PASS_STOPPED = -1235;  // ERROR_REQUEST_ABORTED, negated

// Who watches a pass go, on the pass's own thread; either call may be null.
struct PassObserver {
    void* self;
    // The stream header has been read: the archive stream's size in bytes.
    void (*Started)(void* self, uint32_t total);
    // The reader has taken another block; done counts the stream's bytes so
    // far. False stops the pass, which then returns PASS_STOPPED.
    bool (*Advanced)(void* self, const ArchiveReader* reader, uint32_t done);
};

// The decoded archive stream of a package, kept by the pass that checked it
// so that the next pass can replay it instead of decoding again. It is kept
// only when the stream header's unpacked size fits the budget; the memory is
// allocated once, at that size, and a failed allocation keeps nothing.
// `complete` is set only when the keeping pass succeeded with every byte.
struct StreamCache {
    uint32_t budget;   // the largest stream to keep, in bytes (0: none)
    uint8_t* bytes;
    uint32_t size;
    uint32_t filled;
    bool complete;
};
void ReleaseStreamCache(StreamCache* cache);

// How a pass gets its stream.
struct PassOptions {
    const PassObserver* observer;  // may be null
    bool pipelined;                // decode on a thread of its own, beside the reader
    StreamCache* keep;             // keep the decoded stream here (the check), or null
    const StreamCache* replay;     // feed the reader this complete stream instead of decoding, or null
};

// The pass on a reader the caller owns. It publishes nothing, so that a tool
// can look at the header fields and checksums afterwards; the installer's
// pass (core/installer_pass.h) publishes the header on success.
int32_t RunArchivePassOn(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData);
// The same, watched by an observer (null: none).
int32_t RunObservedPass(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData,
                        const PassObserver* observer);
// The same over a setup file the caller holds open, and keeps open: its
// reads are at offsets of their own, so passes can take turns on one handle.
int32_t RunPassOnFile(ArchiveReader* reader, FileHandle setupFile, EntryHandler handler, void* userData,
                      const PassObserver* observer);
// The same with every option (null: none). A replay calls the handler as a
// decoding pass does, computes the checksum again and judges it the same way.
int32_t RunPass(ArchiveReader* reader, FileHandle setupFile, EntryHandler handler, void* userData,
                const PassOptions* options);
