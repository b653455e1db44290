// Helpers shared by the unit tests: temporary folders, files, archive streams
// and setup files built in memory, and a handler that records what a pass shows.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "payload/archive_reader.h"

namespace fs = std::filesystem;
using WideString = std::basic_string<WideChar>;

WideString Wide(const fs::path& path);
std::string Utf8(const WideChar* text);

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / fs::u8path(name); }

private:
    fs::path path_;
};

void WriteBytes(const fs::path& path, const Bytes& bytes);
Bytes ReadBytes(const fs::path& path);
Bytes Sequence(size_t size, uint32_t seed);  // deterministic, varied bytes

// The last-write time of a file, in Windows file-time units.
uint64_t LastWriteTicks(const fs::path& path);
uint64_t Ticks(const FileTime& time);

// An archive stream built entry by entry; the checksum is computed unless set.
struct TestEntry {
    std::string name;  // narrow, as stored
    Bytes data;
};
struct TestArchive {
    ArchiveHeaderFields header;
    std::vector<TestEntry> entries;
    int32_t checksumOffset = 0;  // added to the right checksum

    TestArchive();
    TestArchive& Add(const std::string& name, const Bytes& data);
    uint32_t Checksum() const;
    Bytes Stream() const;
};

// The example stream: checksum 155, empty texts, 31 December 2012, one entry
// "A" with the bytes 01 02.
Bytes ExampleStream();

// A setup file: a zero stub of `stubSize` bytes, padding, signature, stream.
Bytes MakeSetup(const Bytes& archiveStream, size_t stubSize = 4096);

// An in-memory source that delivers at most `chunk` bytes a read (or, with a
// seed, a random 1 to `chunk` bytes each time) and can fail once it has
// delivered `failAfter` bytes.
struct MemorySource {
    Bytes bytes;
    size_t at = 0;
    uint32_t chunk = 1u << 30;
    uint32_t seed = 0;
    size_t failAfter = SIZE_MAX;
    int32_t failure = 0;
    static int32_t Read(void* self, uint8_t* buffer, uint32_t* count);
};

// A sink that keeps every block it is given, and can refuse one.
struct BlockSink {
    std::vector<uint32_t> lengths;
    Bytes bytes;
    size_t refuseAt = SIZE_MAX;  // the index of the block to refuse
    uint32_t begun = 0;          // the unpacked size it was told, plus one
    static uint32_t Write(void* self, uint8_t* block, uint32_t length);
    static void Begin(void* self, uint32_t unpackedSize);
};

// The 9-byte stream header and LZMA data for the given bytes.
Bytes Encode(const Bytes& plain);

// What a pass shows a handler.
struct HandlerCall {
    std::string name;   // the path buffer at the call, UTF-8
    bool preview;       // false: the call at the entry's start
    uint32_t size;
    Bytes bytes;        // the preview
    bool operator==(const HandlerCall& other) const {
        return name == other.name && preview == other.preview && size == other.size && bytes == other.bytes;
    }
};

// Records calls; with an output folder, asks for every entry to be written
// there under its file name (folders flattened).
struct Recorder {
    std::vector<HandlerCall> calls;
    fs::path outputFolder;
    int32_t answer = 1;       // returned at an entry's start when writing
    bool emptyPath = false;   // ask to write, but leave the path empty
    static int32_t Handle(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* self);
};

// Feeds a stream to a fresh reader in blocks of the given lengths (the last
// length repeats until the stream is used up); returns the feeds' results.
std::vector<int32_t> FeedInBlocks(ArchiveReader* reader, Bytes stream, const std::vector<uint32_t>& lengths,
                                  Recorder* recorder);
void StartReader(ArchiveReader* reader, Recorder* recorder);
