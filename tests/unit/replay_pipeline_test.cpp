// Decoding beside parsing, and replaying the stream that the check kept:
// both must give exactly what the plain pass gives, in every case and with
// the same first error. The native build runs these under ThreadSanitizer
// too (the tsan preset).
#include <gtest/gtest.h>

#include <map>

#include "payload/archive_pass.h"
#include "payload/decode_pipeline.h"
#include "payload/payload_container.h"
#include "test_support.h"

namespace {

struct Decoded {
    int32_t result;
    std::vector<uint32_t> lengths;
    Bytes bytes;
    uint32_t begun;
};

Decoded DecodeWith(const Bytes& encoded, uint32_t seed, bool beside, size_t refuseAt = SIZE_MAX,
            size_t failAfter = SIZE_MAX) {
    MemorySource source;
    source.bytes = encoded;
    source.chunk = 70000;
    source.seed = seed;
    source.failAfter = failAfter;
    source.failure = 1117;
    BlockSink sink;
    sink.refuseAt = refuseAt;
    PayloadSource in = {MemorySource::Read, &source};
    ArchiveSink out = {BlockSink::Write, &sink, BlockSink::Begin};
    int32_t result = beside ? DecodeLzmaStreamBeside(&in, &out) : DecodeLzmaStream(&in, &out);
    return Decoded{result, sink.lengths, sink.bytes, sink.begun};
}

void ExpectSame(const Decoded& plain, const Decoded& beside) {
    EXPECT_EQ(beside.result, plain.result);
    EXPECT_EQ(beside.lengths, plain.lengths);
    EXPECT_TRUE(beside.bytes == plain.bytes);
    EXPECT_EQ(beside.begun, plain.begun);
}

TEST(DecodeBeside, GivesTheBlocksOfThePlainDecodeHoweverTheInputArrives) {
    Bytes plain = Sequence(9 * 65536 + 4321, 11);
    Bytes encoded = Encode(plain);
    for (uint32_t seed : {1u, 2u, 3u, 77u, 12345u}) {
        SCOPED_TRACE(seed);
        Decoded a = DecodeWith(encoded, seed, false), b = DecodeWith(encoded, seed, true);
        ExpectSame(a, b);
        EXPECT_EQ(b.result, 0);
        EXPECT_TRUE(b.bytes == plain);
    }
}

TEST(DecodeBeside, TheSameFirstErrorAndNothingAfterIt) {
    Bytes plain = Sequence(12 * 65536, 12);
    Bytes encoded = Encode(plain);
    Bytes corrupt = encoded;
    corrupt[corrupt.size() / 2] ^= 0x5A;
    struct Case {
        const char* what;
        const Bytes* input;
        size_t refuseAt;
        size_t failAfter;
    } cases[] = {
        {"the sink refuses the first block", &encoded, 0, SIZE_MAX},
        {"the sink refuses block 5", &encoded, 5, SIZE_MAX},
        {"the sink refuses block 6, past the ring's first wrap", &encoded, 6, SIZE_MAX},
        {"corrupt data half-way", &corrupt, SIZE_MAX, SIZE_MAX},
        {"a read fails half-way", &encoded, SIZE_MAX, 2000},
        {"the input ends in the stream header", &encoded, SIZE_MAX, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (uint32_t seed : {0u, 5u}) {
            Decoded a = DecodeWith(*c.input, seed, false, c.refuseAt, c.failAfter);
            Decoded b = DecodeWith(*c.input, seed, true, c.refuseAt, c.failAfter);
            ExpectSame(a, b);
            EXPECT_NE(b.result, 0);
        }
    }
}

// A whole pass three ways: plain, decoded beside the reader, and replayed
// from what a keeping pass kept. Each writes into its own folder.
class ReplayAndPipeline : public ::testing::Test {
protected:
    struct Outcome {
        int32_t result;
        std::vector<HandlerCall> calls;
        std::map<std::string, Bytes> files;
        std::map<std::string, uint64_t> times;
    };

    Outcome Pass(const fs::path& setup, PassOptions options, const std::string& label) {
        fs::path folder = dir / label;
        fs::create_directories(folder);
        Recorder recorder;
        recorder.outputFolder = folder;
        FileHandle file = FileOpenRead(Wide(setup).c_str());
        std::unique_ptr<ArchiveReader> reader(new ArchiveReader());
        Outcome outcome;
        outcome.result = RunPass(reader.get(), file, Recorder::Handle, &recorder, &options);
        FileClose(file);
        outcome.calls = recorder.calls;
        // The handler calls name the output folder; the comparison is of the rest.
        for (HandlerCall& call : outcome.calls) call.name = call.name.substr(call.name.find_last_of("\\/") + 1);
        for (const auto& entry : fs::directory_iterator(folder)) {
            outcome.files[entry.path().filename().string()] = ReadBytes(entry.path());
            outcome.times[entry.path().filename().string()] = LastWriteTicks(entry.path());
        }
        return outcome;
    }

    void ExpectSame(const Outcome& a, const Outcome& b) {
        EXPECT_EQ(b.result, a.result);
        EXPECT_EQ(b.calls, a.calls);
        EXPECT_TRUE(b.files == a.files);
        EXPECT_EQ(b.times, a.times);
    }

    // Plain, pipelined, and a check that keeps (within budget) then a replay.
    // Returns whether the replay really replayed.
    bool ThreeWays(const Bytes& setupBytes, uint32_t budget, const std::string& name) {
        fs::path setup = dir / (name + ".exe");
        WriteBytes(setup, setupBytes);
        Outcome plain = Pass(setup, PassOptions{}, name + "-plain");
        PassOptions pipelined = {};
        pipelined.pipelined = true;
        ExpectSame(plain, Pass(setup, pipelined, name + "-beside"));
        StreamCache cache = {};
        cache.budget = budget;
        PassOptions keep = {};
        keep.keep = &cache;
        ExpectSame(plain, Pass(setup, keep, name + "-check"));
        PassOptions replay = {};
        replay.replay = &cache;
        replay.pipelined = true;
        ExpectSame(plain, Pass(setup, replay, name + "-replay"));
        bool replayed = cache.complete;
        ReleaseStreamCache(&cache);
        return replayed;
    }

    static TestArchive Package(size_t entries, size_t size) {
        TestArchive archive;
        for (size_t i = 0; i < entries; ++i)
            archive.Add("f" + std::to_string(i) + ".bin", Sequence(size + i * 997, static_cast<uint32_t>(i + 1)));
        return archive;
    }

    void TearDown() override { PlatformClearFaults(); }

    TempDir dir;
};

TEST_F(ReplayAndPipeline, GiveThePlainPassesResults) {
    TestArchive small = Package(3, 100);
    EXPECT_TRUE(ThreeWays(MakeSetup(small.Stream()), 1u << 30, "small"));
    TestArchive large = Package(40, 60000);
    EXPECT_TRUE(ThreeWays(MakeSetup(large.Stream()), 1u << 30, "large"));
    TestArchive off = Package(5, 30000);
    off.checksumOffset = 1;
    EXPECT_FALSE(ThreeWays(MakeSetup(off.Stream()), 1u << 30, "off")) << "a failed check keeps nothing";
    Bytes cut = MakeSetup(large.Stream());
    cut.resize(cut.size() - 3000);
    EXPECT_FALSE(ThreeWays(cut, 1u << 30, "cut"));
}

TEST_F(ReplayAndPipeline, TheBudgetDecidesWhatIsKept) {
    TestArchive archive = Package(4, 20000);
    Bytes stream = archive.Stream();
    uint32_t size = static_cast<uint32_t>(stream.size());
    EXPECT_TRUE(ThreeWays(MakeSetup(stream), size, "just-within"));
    EXPECT_FALSE(ThreeWays(MakeSetup(stream), size - 1, "just-over")) << "decoded beside instead";
    EXPECT_FALSE(ThreeWays(MakeSetup(stream), 0, "none"));
}

TEST_F(ReplayAndPipeline, AnOutputErrorAtEntryKStopsEachWayAlike) {
    TestArchive archive = Package(12, 30000);
    fs::path setup = dir / "Setup.exe";
    WriteBytes(setup, MakeSetup(archive.Stream()));
    StreamCache cache = {};
    cache.budget = 1u << 30;
    PassOptions keep = {};
    keep.keep = &cache;
    ASSERT_EQ(Pass(setup, keep, "check").result, 0);
    ASSERT_TRUE(cache.complete);
    for (uint32_t k : {1u, 5u, 12u}) {
        SCOPED_TRACE(k);
        PlatformFailNth(FAULT_CREATE, k, 112);
        Outcome plain = Pass(setup, PassOptions{}, "plain" + std::to_string(k));
        PlatformFailNth(FAULT_CREATE, k, 112);
        PassOptions beside = {};
        beside.pipelined = true;
        Outcome pipelined = Pass(setup, beside, "beside" + std::to_string(k));
        PlatformFailNth(FAULT_CREATE, k, 112);
        PassOptions replay = {};
        replay.replay = &cache;
        Outcome replayed = Pass(setup, replay, "replay" + std::to_string(k));
        PlatformClearFaults();
        EXPECT_EQ(plain.result, 112);
        ExpectSame(plain, pipelined);
        ExpectSame(plain, replayed);
        EXPECT_EQ(plain.files.size(), k - 1) << "nothing written after the failing entry";
    }
    ReleaseStreamCache(&cache);
}

TEST_F(ReplayAndPipeline, ADecodingErrorAtByteNStopsEachWayAlike) {
    TestArchive archive = Package(10, 50000);
    Bytes setup = MakeSetup(archive.Stream());
    const size_t payload = PAYLOAD_SEARCH_START + 4 + STREAM_HEADER_SIZE;
    for (size_t n : {size_t{20}, (setup.size() - payload) / 2, setup.size() - payload - 40}) {
        SCOPED_TRACE(n);
        Bytes corrupt = setup;
        corrupt[payload + n] ^= 0xA5;
        fs::path path = dir / ("Corrupt" + std::to_string(n) + ".exe");
        WriteBytes(path, corrupt);
        Outcome plain = Pass(path, PassOptions{}, "plain" + std::to_string(n));
        PassOptions beside = {};
        beside.pipelined = true;
        ExpectSame(plain, Pass(path, beside, "beside" + std::to_string(n)));
        EXPECT_NE(plain.result, 0);
    }
}

}  // namespace
