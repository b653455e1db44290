// Whole passes over setup files on disk: results, verdicts and publication.
#include <gtest/gtest.h>
#include <string.h>

#include "core/installer_state.h"
#include "core/installer_pass.h"
#include "payload/payload_container.h"
#include "test_support.h"

namespace {

class ArchivePass : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(CreateInstallerState(), nullptr); }
    void TearDown() override {
        ReleaseInstallerState();
        PlatformClearFaults();
    }

    fs::path Write(const std::string& name, const Bytes& bytes) {
        fs::path path = dir / name;
        WriteBytes(path, bytes);
        return path;
    }

    int32_t Pass(const fs::path& setup, Recorder* recorder) {
        return RunArchivePass(Wide(setup).c_str(), Recorder::Handle, recorder);
    }

    static TestArchive Product() {
        TestArchive archive;
        archive.header.productCode = "NVX";
        archive.header.windowClass = "NvxMainWindow";
        archive.header.mainProgram = "Nvx.exe";
        archive.Add("FILE_ID.DIZ", Sequence(300, 1)).Add("64\\Nvx.exe", Sequence(150000, 2)).Add("Nvx_DE.LNG", Sequence(4000, 3));
        return archive;
    }

    TempDir dir;
};

TEST_F(ArchivePass, ASoundFileIsReadWholeAndPublishesItsHeader) {
    fs::path setup = Write("Setup.exe", MakeSetup(Product().Stream()));
    Recorder first, second;
    EXPECT_EQ(Pass(setup, &first), 0);
    EXPECT_STREQ(gInstallerState->productCode, "NVX");
    EXPECT_STREQ(gInstallerState->windowClass, "NvxMainWindow");
    EXPECT_STREQ(gInstallerState->mainProgram, "Nvx.exe");
    EXPECT_EQ(first.calls.size(), 6u);
    EXPECT_EQ(Pass(setup, &second), 0);
    EXPECT_EQ(second.calls, first.calls);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "nothing written";
}

TEST_F(ArchivePass, ExtractsEveryByte) {
    TestArchive archive = Product();
    fs::path setup = Write("Setup.exe", MakeSetup(archive.Stream()));
    Recorder recorder;
    recorder.outputFolder = dir / "out";
    fs::create_directories(recorder.outputFolder);
    ASSERT_EQ(Pass(setup, &recorder), 0);
    EXPECT_EQ(ReadBytes(dir / "out" / "FILE_ID.DIZ"), archive.entries[0].data);
    EXPECT_EQ(ReadBytes(dir / "out" / "Nvx.exe"), archive.entries[1].data);
    EXPECT_EQ(ReadBytes(dir / "out" / "Nvx_DE.LNG"), archive.entries[2].data);
}

TEST_F(ArchivePass, BrokenFilesAndTheirResults) {
    Bytes sound = MakeSetup(Product().Stream());
    TestArchive off = Product();
    off.checksumOffset = 1;
    const size_t payload = PAYLOAD_SEARCH_START;  // where the signature of a small stub lies
    struct Case {
        const char* what;
        Bytes bytes;
        int32_t expected;
    } cases[] = {
        {"cut inside the LZMA data", Bytes(sound.begin(), sound.end() - 5000), -1},
        {"cut inside the stream header", Bytes(sound.begin(), sound.begin() + payload + 4 + 6), -38},
        {"checksum off by one", MakeSetup(off.Stream()), -1},
        {"no signature", Bytes(100000, 0), -1},
        {"a stub alone", Bytes(4096, 0x90), -1},
        {"an empty file", Bytes(), -1},
        {"a payload of 0 bytes", MakeSetup(Bytes()), -1},
        {"properties the library rejects", [&] { Bytes b = sound; b[payload + 4] = 225; return b; }(), -50},
        {"corrupt LZMA data", [&] { Bytes b = sound; b[payload + 4 + 9] ^= 0xFF; return b; }(), -13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        memcpy(gInstallerState->productCode, "OLD", 4);
        Recorder recorder;
        EXPECT_EQ(Pass(Write("broken.exe", c.bytes), &recorder), c.expected);
        EXPECT_STREQ(gInstallerState->productCode, "OLD") << "a failed pass publishes nothing";
    }
}

TEST_F(ArchivePass, AChecksumMismatchStillReportsAndWritesEveryEntry) {
    TestArchive off = Product();
    off.checksumOffset = 1;
    Recorder recorder;
    recorder.outputFolder = dir / "out";
    fs::create_directories(recorder.outputFolder);
    EXPECT_EQ(Pass(Write("Setup.exe", MakeSetup(off.Stream())), &recorder), -1);
    EXPECT_EQ(recorder.calls.size(), 6u);
    EXPECT_EQ(ReadBytes(dir / "out" / "Nvx_DE.LNG"), off.entries[2].data);
}

TEST_F(ArchivePass, ASetupFileThatCannotBeOpened) {
    Recorder recorder;
    EXPECT_EQ(Pass(dir / "missing.exe", &recorder), 2);
    EXPECT_EQ(Pass(dir / "no-folder" / "Setup.exe", &recorder), 3);
    EXPECT_EQ(Pass(dir.path(), &recorder), 5);
    PlatformFailNth(FAULT_OPEN_READ, 1, 32);
    EXPECT_EQ(Pass(Write("Setup.exe", MakeSetup(Product().Stream())), &recorder), 32);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(ArchivePass, ReadErrorsAreNegatedAndMapped) {
    fs::path setup = Write("Setup.exe", MakeSetup(Product().Stream()));
    // Reads: the search (its one read covers this small file), the stream
    // header, then the data blocks.
    for (auto [code, expected] : {std::pair<int32_t, int32_t>{1117, -1117}, {6, -38}}) {
        SCOPED_TRACE(code);
        PlatformFailNth(FAULT_READ, 3, static_cast<uint32_t>(code));
        Recorder recorder;
        EXPECT_EQ(Pass(setup, &recorder), expected);
    }
}

TEST_F(ArchivePass, EveryFailureOfTheFileLayerEndsThePassWithItsCode) {
    // The setup file's own failures blame the setup file (negative); an output
    // file whose times or close fail is not what the package holds (positive,
    // as a failed write).
    fs::path setup = Write("Setup.exe", MakeSetup(Product().Stream()));
    struct Case {
        const char* what;
        PlatformOperation operation;
        uint32_t nth;
        uint32_t code;
        int32_t expected;
        size_t files;  // files left: only the whole ones, none of them temporary
    } cases[] = {
        {"the search's read", FAULT_READ, 1, 30, -30, 0},
        {"the stream header's read", FAULT_READ, 2, 1117, -1117, 0},
        {"the size, which then counts as 0", FAULT_SIZE, 1, 87, -1, 0},
        {"the first file's times", FAULT_SET_TIMES, 1, 1117, 1117, 0},
        {"the second file's close", FAULT_CLOSE, 2, 1117, 1117, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir out;
        PlatformFailNth(c.operation, c.nth, c.code);
        Recorder recorder;
        recorder.outputFolder = out.path();
        EXPECT_EQ(Pass(setup, &recorder), c.expected);
        PlatformClearFaults();
        EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator())),
                  c.files);
    }
}

TEST_F(ArchivePass, AnOutputErrorThatStopsTheDecodingGivesTheFilesOwnCode) {
    // Not a broken setup file: the destination is at fault, and its code says how.
    Recorder recorder;
    recorder.outputFolder = dir / "missing";
    EXPECT_EQ(Pass(Write("Setup.exe", MakeSetup(Product().Stream())), &recorder), 3);
    EXPECT_EQ(recorder.calls.size(), 1u);
    PlatformFailNth(FAULT_WRITE, 1, 112);
    recorder = Recorder();
    recorder.outputFolder = dir / "out";
    fs::create_directories(recorder.outputFolder);
    EXPECT_EQ(Pass(dir / "Setup.exe", &recorder), 112);
}

TEST_F(ArchivePass, AnOutputErrorNoticedAfterTheLastEntryGivesItsCode) {
    // The last entry spans several decoder blocks; a write of its continuing
    // data fails, and no entry header follows to notice it.
    TestArchive archive;
    archive.Add("first", {1}).Add("last", Sequence(300000, 8));
    Recorder recorder;
    recorder.outputFolder = dir / "out";
    fs::create_directories(recorder.outputFolder);
    PlatformFailNth(FAULT_WRITE, 3, 112);
    EXPECT_EQ(Pass(Write("Setup.exe", MakeSetup(archive.Stream())), &recorder), 112);
    EXPECT_EQ(recorder.calls.size(), 4u);
}

TEST_F(ArchivePass, AFileCutShortIsDroppedWhenThePassEnds) {
    TestArchive archive;
    archive.Add("big", Sequence(400000, 6));
    Bytes setup = MakeSetup(archive.Stream());
    setup.resize(setup.size() - 1000);
    Recorder recorder;
    recorder.outputFolder = dir / "out";
    fs::create_directories(recorder.outputFolder);
    WriteBytes(dir / "out" / "big", {1});
    EXPECT_EQ(Pass(Write("Setup.exe", setup), &recorder), -1);
    EXPECT_EQ(ReadBytes(dir / "out" / "big"), (Bytes{1})) << "the old file stays";
    // Windows refuses to delete a file that is still open: the temporary file
    // was closed, and then deleted.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

}  // namespace
