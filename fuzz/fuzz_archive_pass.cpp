// Runs the whole archive pass over a fuzzed setup file.
//
// Most inputs are taken as what follows the stub, so that the decoder and the
// reader behind it get to see them rather than the payload search alone.
//
// Input layout: a mode byte (% 4), then
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

namespace {

constexpr uint32_t MAX_DICTIONARY = 1u << 20;
constexpr uint32_t MAX_UNPACKED = 1u << 20;

std::vector<uint8_t> SetupFile(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file;
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

int32_t CountingHandler(WideChar*, const uint8_t* preview, uint32_t size, void* userData) {
    if (preview && (size == 0 || size > PREVIEW_CAPACITY)) FuzzFail("a preview of %u bytes", size);
    if (!preview) ++*static_cast<uint32_t*>(userData);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = FuzzTempFolder() + "/setup.exe";
    static const std::u16string widePath = FuzzTempFolderWide() + u"/setup.exe";

    std::vector<uint8_t> file = SetupFile(data, size);
    size_t offset = PayloadOffset(file);
    CapSizes(file, offset);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out || fwrite(file.data(), 1, file.size(), out) != file.size() || fclose(out) != 0)
        FuzzFail("cannot write %s", path.c_str());

    FileHandle handle = FileOpenRead(widePath.c_str());
    if (handle == NO_FILE) FuzzFail("cannot open %s", path.c_str());
    uint32_t found = FindPayloadOffset(handle, FileSize32(handle));
    FileClose(handle);
    if (found != offset) FuzzFail("the payload search found %u, not %zu", found, offset);

    std::unique_ptr<ArchiveReader> owned(new ArchiveReader);
    ArchiveReader& reader = *owned;
    uint32_t entries = 0;
    int32_t result = RunArchivePassOn(&reader, widePath.c_str(), CountingHandler, &entries);
    // The handler asks for no file, so neither an output-file error nor a
    // stop can come out; what is left is the decoder's and the checksum's.
    switch (result) {
        case 0: case PASS_BROKEN: case -8: case -13: case -38: case -50: break;
        default: FuzzFail("the pass returned %d", result);
    }
    if (reader.setupFile != NO_FILE || reader.outputFile != NO_FILE) FuzzFail("the pass left a file open");
    if (entries != reader.entryCount) FuzzFail("%u entries started, the reader counted %u", entries, reader.entryCount);
    if (result == 0 && offset == 0) FuzzFail("a file without a payload passed");

    // The same file decoded beside the reader, on a thread of its own: the
    // same result, entries and checksum; and when the plain pass kept the
    // stream, its replay too.
    handle = FileOpenRead(widePath.c_str());
    StreamCache cache = {};
    cache.budget = MAX_UNPACKED;
    PassOptions keep = {};
    keep.keep = &cache;
    std::unique_ptr<ArchiveReader> kept(new ArchiveReader);
    uint32_t keptEntries = 0;
    int32_t keptResult = RunPass(kept.get(), handle, CountingHandler, &keptEntries, &keep);
    PassOptions beside = {};
    beside.pipelined = true;
    std::unique_ptr<ArchiveReader> other(new ArchiveReader);
    uint32_t besideEntries = 0;
    int32_t besideResult = RunPass(other.get(), handle, CountingHandler, &besideEntries, &beside);
    FileClose(handle);
    if (keptResult != result || besideResult != result)
        FuzzFail("results differ: plain %d, keeping %d, beside %d", result, keptResult, besideResult);
    if (keptEntries != entries || besideEntries != entries || other->checksum != reader.checksum)
        FuzzFail("the pass decoded beside the reader saw other entries or bytes");
    if (cache.complete && (result != 0 || cache.filled != cache.size)) FuzzFail("a cache kept from a failed pass");
    if (cache.complete) {
        PassOptions replay = {};
        replay.replay = &cache;
        std::unique_ptr<ArchiveReader> replayed(new ArchiveReader);
        uint32_t replayedEntries = 0;
        int32_t replayResult = RunPass(replayed.get(), NO_FILE, CountingHandler, &replayedEntries, &replay);
        if (replayResult != 0 || replayedEntries != entries || replayed->checksum != reader.checksum)
            FuzzFail("the replay differs from the pass it replays");
    }
    ReleaseStreamCache(&cache);
    return 0;
}
