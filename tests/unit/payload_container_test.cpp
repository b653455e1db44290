// Finding the payload and decoding its LZMA stream.
#include <gtest/gtest.h>
#include <string.h>

#include "LzmaEnc.h"
#include "payload/payload_container.h"
#include "test_support.h"

namespace {

// A setup file of `size` bytes of 0x11 with signatures at the given offsets.
uint32_t FindIn(const TempDir& dir, uint32_t size, const std::vector<uint32_t>& signatures) {
    Bytes file(size, 0x11);
    for (uint32_t at : signatures) memcpy(file.data() + at, PAYLOAD_SIGNATURE, 4);
    fs::path path = dir / "find.bin";
    WriteBytes(path, file);
    FileHandle handle = FileOpenRead(Wide(path).c_str());
    EXPECT_NE(handle, NO_FILE);
    uint32_t offset = FindPayloadOffset(handle, size);
    FileClose(handle);
    return offset;
}

TEST(FindPayloadOffset, FindsTheFirstSignatureFrom89999On) {
    TempDir dir;
    const uint32_t read2 = PAYLOAD_SEARCH_START + SEARCH_READ_SIZE;  // where the second read starts
    struct Case {
        const char* what;
        uint32_t size;
        std::vector<uint32_t> signatures;
        uint32_t expected;
    } cases[] = {
        {"at 89999", 100000, {89999}, 90003},
        {"one byte in the first read", 100000, {read2 - 1}, read2 + 3},
        {"two bytes in the first read", 100000, {read2 - 2}, read2 + 2},
        {"three bytes in the first read", 100000, {read2 - 3}, read2 + 1},
        {"in the last, partial read", 100000, {99000}, 99004},
        {"ending with the file", 100000, {99996}, 100000},
        {"only before 89999", 100000, {89998}, 0},
        {"straddling 89999", 100000, {89997}, 0},
        {"twice", 100000, {95000, 91000}, 91004},
        {"before and after", 100000, {50000, 92000}, 92004},
        {"none", 100000, {}, 0},
        {"file of 89999 bytes", 89999, {89995}, 0},
        {"file of 90003 bytes", 90003, {89999}, 90003},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FindIn(dir, c.size, c.signatures), c.expected);
    }
}

TEST(FindPayloadOffset, AFailedReadFindsNothing) {
    TempDir dir;
    PlatformFailNth(FAULT_READ, 1, 30);
    EXPECT_EQ(FindIn(dir, 100000, {95000}), 0u);
    PlatformClearFaults();
}

int32_t Decode(MemorySource* source, BlockSink* sink) {
    PayloadSource in = {MemorySource::Read, source};
    ArchiveSink out = {BlockSink::Write, sink, nullptr};
    return DecodeLzmaStream(&in, &out);
}

TEST(DecodeLzmaStream, DeliversEveryByteHoweverTheInputIsCut) {
    Bytes plain = Sequence(3 * 65536 + 1234, 7);
    for (uint32_t chunk : {1u << 30, 65536u, 4096u, 1u}) {
        SCOPED_TRACE(chunk);
        MemorySource source;
        source.bytes = Encode(plain);
        source.chunk = chunk;
        BlockSink sink;
        ASSERT_EQ(Decode(&source, &sink), 0);
        EXPECT_EQ(sink.bytes, plain);
        for (uint32_t length : sink.lengths) EXPECT_LE(length, DECODE_BLOCK_SIZE);
    }
}

TEST(DecodeLzmaStream, FullBlocksThenExactlyTheRemainder) {
    // Zeros compress so well that no input block runs dry before its output.
    Bytes plain(3 * 65536 + 1234, 0);
    MemorySource source;
    source.bytes = Encode(plain);
    BlockSink sink;
    ASSERT_EQ(Decode(&source, &sink), 0);
    EXPECT_EQ(sink.lengths, (std::vector<uint32_t>{65536, 65536, 65536, 1234}));
}

TEST(DecodeLzmaStream, UnpackedSizeZeroGivesOneEmptyBlock) {
    MemorySource source;
    source.bytes = Encode(Bytes());
    BlockSink sink;
    EXPECT_EQ(Decode(&source, &sink), 0);
    EXPECT_EQ(sink.lengths, std::vector<uint32_t>{0});
}

TEST(DecodeLzmaStream, FailuresAndTheirCodes) {
    Bytes encoded = Encode(Sequence(200000, 3));
    struct Case {
        const char* what;
        size_t keep;          // bytes of the encoded stream kept
        int byteToBreak;      // index whose byte is replaced, or -1
        uint8_t newByte;
        int32_t expected;
    } cases[] = {
        {"empty input", 0, -1, 0, 38},
        {"cut within the stream header", 7, -1, 0, 38},
        {"cut within the LZMA data", encoded.size() / 2, -1, 0, 0},
        {"properties the library rejects", encoded.size(), 0, 225, 50},
        {"corrupt first LZMA byte", encoded.size(), 9, 0xFF, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source;
        source.bytes.assign(encoded.begin(), encoded.begin() + static_cast<long>(c.keep));
        if (c.byteToBreak >= 0) source.bytes[static_cast<size_t>(c.byteToBreak)] = c.newByte;
        BlockSink sink;
        EXPECT_EQ(Decode(&source, &sink), c.expected);
    }
}

TEST(DecodeLzmaStream, ReadErrorsAreMappedLikeLibraryCodes) {
    Bytes encoded = Encode(Sequence(200000, 5));
    for (auto [failure, expected] : {std::pair<int32_t, int32_t>{1117, 1117}, {6, 38}, {30, 30}, {1, 13}}) {
        SCOPED_TRACE(failure);
        MemorySource source;
        source.bytes = encoded;
        source.chunk = 4096;
        source.failAfter = 20000;
        source.failure = failure;
        BlockSink sink;
        EXPECT_EQ(Decode(&source, &sink), expected);
    }
}

TEST(DecodeLzmaStream, ARefusedBlockStopsTheRun) {
    MemorySource source;
    source.bytes = Encode(Sequence(300000, 9));
    BlockSink sink;
    sink.refuseAt = 1;
    EXPECT_EQ(Decode(&source, &sink), 1235);
    EXPECT_EQ(sink.lengths.size(), 1u);
    EXPECT_LT(source.at, source.bytes.size());  // nothing more was read
}

void* TestAlloc(void*, size_t size) { return malloc(size); }
void TestFree(void*, void* block) { free(block); }

TEST(DecodeLzmaStream, AnEndMarkerBeforeTheAnnouncedSizeEndsCleanly) {
    Bytes plain = Sequence(1000, 11);
    ISzAlloc alloc = {TestAlloc, TestFree};
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.dictSize = 1 << 16;
    Bytes data(plain.size() + 1024);
    SizeT dataSize = data.size();
    uint8_t properties[5];
    SizeT propertiesSize = 5;
    ASSERT_EQ(LzmaEncode(data.data(), &dataSize, plain.data(), plain.size(), &props, properties, &propertiesSize,
                         1, nullptr, &alloc, &alloc),
              SZ_OK);
    MemorySource source;
    source.bytes.assign(properties, properties + 5);
    for (int i = 0; i < 4; ++i) source.bytes.push_back(static_cast<uint8_t>(5000u >> (24 - 8 * i)));  // more than there is
    source.bytes.insert(source.bytes.end(), data.begin(), data.begin() + static_cast<long>(dataSize));
    BlockSink sink;
    EXPECT_EQ(Decode(&source, &sink), 0);
    EXPECT_EQ(sink.bytes, plain);
}

TEST(MapDecoderResult, LibraryCodesBecomeWindowsCodes) {
    const int32_t expected[19] = {0, 13, 8, 23, 50, 87, 38, 38, 30, 29, 31, 31, 164, 31, 31, 31, 31, 31, 18};
    for (int32_t code = 0; code <= 18; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(MapDecoderResult(code), expected[code]);
    }
    EXPECT_EQ(MapDecoderResult(1235), 1235);
}

TEST(ReadBigEndian32, FirstByteIsMostSignificant) {
    const uint8_t bytes[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(ReadBigEndian32(bytes), 0x12345678u);
}

}  // namespace
