// Runs the whole archive pass over a fuzzed setup file on one thread (plain,
// as mksetup does, or keeping the decoded stream, as the installer's check
// does), decoded on a thread beside the reader (as the install does without
// a kept stream), and replayed from the kept stream: each must make the same
// handler calls, write the same files and end with the same result.
//
// Most inputs are taken as what follows the stub, so that the decoder and the
// reader behind it get to see them rather than the payload search alone.
//
// Input layout: a mode byte, whose bit 2 asks for the keeping pass and whose
// bits 0-1 say what follows:
//   0, 1   the payload: 89999 zeros and the signature are put before it
//   2      an offset byte, then bytes that start up to 64 before and about
//          4 KiB after the search start, so that a signature of their own
//          may straddle the search's reads
//   3      the whole setup file as it is
//
// The payload's dictionary and unpacked sizes are what the installer
// allocates and decodes; they are capped here so that a run stays within
// libFuzzer's memory and time limits.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "payload/archive_pass.h"
#include "payload/payload_container.h"
#include "platform/memory_files.h"

namespace {

constexpr uint32_t MAX_DICTIONARY = 1u << 16;
// Two and a half of the decoder's blocks: enough for every way a block can
// end, little enough to decode three times over in a fraction of a millisecond.
constexpr uint32_t MAX_UNPACKED = 160 * 1024;

// One buffer for every input's file: building 90 KB afresh each time costs
// more in page faults than the pass.
std::vector<uint8_t>& SetupFile(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> file;
    file.clear();
    if (size == 0) return file;
    uint8_t mode = data[0] % 4;
    ++data;
    --size;
    if (mode <= 1) {
        file.assign(PAYLOAD_SEARCH_START, 0);
        file.insert(file.end(), PAYLOAD_SIGNATURE, PAYLOAD_SIGNATURE + 4);
    } else if (mode == 2 && size > 0) {
        file.assign(PAYLOAD_SEARCH_START - 64 + data[0] * 17u, 0);
        ++data;
        --size;
    }
    file.insert(file.end(), data, data + size);
    return file;
}

// Where the payload begins, found the plain way: just after the first
// signature that starts at or after min(size, 89999); 0 for none.
size_t PayloadOffset(const std::vector<uint8_t>& file) {
    size_t from = file.size() < PAYLOAD_SEARCH_START ? file.size() : PAYLOAD_SEARCH_START;
    for (size_t i = from; i + 4 <= file.size(); ++i)
        if (memcmp(&file[i], PAYLOAD_SIGNATURE, 4) == 0) return i + 4;
    return 0;
}

void CapSizes(std::vector<uint8_t>& file, size_t offset) {
    if (offset == 0 || file.size() < offset + STREAM_HEADER_SIZE) return;
    uint8_t* header = &file[offset];
    uint32_t dictionary = header[1] | header[2] << 8 | header[3] << 16 | uint32_t{header[4]} << 24;
    if (dictionary > MAX_DICTIONARY) {
        for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<uint8_t>(MAX_DICTIONARY >> (8 * i));
    }
    if (ReadBigEndian32(header + 5) > MAX_UNPACKED) {
        for (int i = 0; i < 4; ++i) header[5 + i] = static_cast<uint8_t>(MAX_UNPACKED >> (24 - 8 * i));
    }
}

struct Call {
    bool preview;
    std::u16string path;
    uint32_t size;
    std::vector<uint8_t> bytes;
    bool operator==(const Call& other) const {
        return preview == other.preview && path == other.path && size == other.size && bytes == other.bytes;
    }
};

const char16_t kSetupPath[] = u"C:\\fuzz\\setup.exe";
const char16_t kOutputFolder[] = u"C:\\fuzz\\out";

// Records every call and asks for every third entry to be written, under one
// of a few names, so that files are created, replaced and compared.
struct Recording {
    std::vector<Call> calls;
    uint32_t entries = 0;
};

int32_t RecordingHandler(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    Recording* run = static_cast<Recording*>(userData);
    if (preview && (size == 0 || size > PREVIEW_CAPACITY)) FuzzFail("a preview of %u bytes", size);
    size_t n = 0;
    while (n < NAME_CAPACITY && pathBuffer[n]) ++n;
    if (n == NAME_CAPACITY) FuzzFail("the path buffer holds no terminator");
    run->calls.push_back(Call{preview != nullptr, std::u16string(pathBuffer, n), size,
                              preview ? std::vector<uint8_t>(preview, preview + size) : std::vector<uint8_t>()});
    if (preview) return 0;
    run->entries += 1;
    if (run->entries % 3 != 1) return 0;
    std::u16string path = std::u16string(kOutputFolder) + u"\\" + static_cast<char16_t>(u'0' + run->entries % 4);
    std::copy(path.begin(), path.end(), pathBuffer);
    pathBuffer[path.size()] = 0;
    return 1;
}

struct Outcome {
    int32_t result;
    uint32_t checksum;
    Recording recording;
    std::vector<MemoryFile> files;  // what the run wrote, then removed for the next one
};

Outcome Finish(int32_t result, const ArchiveReader& reader, Recording recording, bool timesSet) {
    if (reader.outputFile != NO_FILE) FuzzFail("the pass left an output file open");
    Outcome outcome{result, reader.checksum, std::move(recording), {}};
    for (MemoryFile& file : MemoryFilesList(kOutputFolder)) {
        if (!timesSet) file.lastWrite = 0;  // the time of writing, which differs from run to run
        DeleteFileAt(file.path.c_str());
        outcome.files.push_back(std::move(file));
    }
    return outcome;
}

void Expect(const Outcome& a, const Outcome& b, const char* what) {
    if (a.result != b.result) FuzzFail("%s: result %d vs %d", what, a.result, b.result);
    if (a.recording.calls != b.recording.calls) FuzzFail("%s: other handler calls", what);
    if (a.checksum != b.checksum) FuzzFail("%s: checksum %08x vs %08x", what, a.checksum, b.checksum);
    if (a.files.size() != b.files.size()) FuzzFail("%s: %zu files vs %zu", what, a.files.size(), b.files.size());
    for (size_t i = 0; i < a.files.size(); ++i)
        if (a.files[i].path != b.files[i].path || a.files[i].data != b.files[i].data ||
            a.files[i].lastWrite != b.files[i].lastWrite)
            FuzzFail("%s: file %zu differs", what, i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInputFiles files;
    std::vector<uint8_t>& file = SetupFile(data, size);
    size_t offset = PayloadOffset(file);
    CapSizes(file, offset);
    MemoryFolderCreate(kOutputFolder);
    if (!MemoryFileStore(kSetupPath, file.data(), file.size())) FuzzFail("cannot store the setup file");

    FileHandle handle = FileOpenRead(kSetupPath);
    if (handle == NO_FILE) FuzzFail("cannot open the setup file");
    uint32_t found = FindPayloadOffset(handle, FileSize32(handle));
    if (found != offset) FuzzFail("the payload search found %u, not %zu", found, offset);

    // The pass on one thread, plain or keeping the stream.
    bool keeping = size > 0 && (data[0] & 4) != 0;
    StreamCache cache = {};
    cache.budget = MAX_UNPACKED;
    PassOptions keep = {};
    keep.keep = &cache;
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader);
    Recording recording;
    int32_t result = keeping ? RunPass(reader.get(), handle, RecordingHandler, &recording, &keep)
                             : RunArchivePassOn(reader.get(), kSetupPath, RecordingHandler, &recording);
    // The handler's paths can always be created, so neither an output-file
    // error nor a stop can come out; what is left is the decoder's and the
    // checksum's.
    switch (result) {
        case 0: case PASS_BROKEN: case -8: case -13: case -38: case -50: break;
        default: FuzzFail("the pass returned %d", result);
    }
    if (!keeping && reader->setupFile != NO_FILE) FuzzFail("the pass left the setup file open");
    if (recording.entries != reader->entryCount)
        FuzzFail("%u entries started, the reader counted %u", recording.entries, reader->entryCount);
    if (result == 0 && offset == 0) FuzzFail("a file without a payload passed");
    bool timesSet = reader->packageTime.low != 0 || reader->packageTime.high != 0;
    Outcome first = Finish(result, *reader, std::move(recording), timesSet);
    if (cache.complete && (result != 0 || cache.filled != cache.size)) FuzzFail("a cache kept from a failed pass");

    // Decoded beside the reader, on the same handle, as the install does
    // when no stream was kept.
    PassOptions beside = {};
    beside.pipelined = true;
    reader.reset(new ArchiveReader);
    recording = Recording();
    int32_t besideResult = RunPass(reader.get(), handle, RecordingHandler, &recording, &beside);
    FileClose(handle);
    Expect(first, Finish(besideResult, *reader, std::move(recording), timesSet), "one thread vs beside");

    if (cache.complete) {
        PassOptions replay = {};
        replay.replay = &cache;
        reader.reset(new ArchiveReader);
        recording = Recording();
        int32_t replayResult = RunPass(reader.get(), NO_FILE, RecordingHandler, &recording, &replay);
        Expect(first, Finish(replayResult, *reader, std::move(recording), timesSet), "decoded vs replayed");
    }
    ReleaseStreamCache(&cache);
    return 0;
}
