// Every byte of a small setup file's payload flipped, and every cut length:
// the installer's check refuses the file, or the install writes exactly the
// original files. Nothing in between: no crash, no hang, no changed file.
// (The asan preset runs this under the address and undefined-behaviour
// sanitizers.)
#include <gtest/gtest.h>

#include <map>
#include <new>

#include "core/installer_state.h"
#include "passes/extract_job.h"
#include "passes/scan_job.h"
#include "payload/payload_container.h"
#include "test_support.h"

namespace {

// A sink that takes every event at once and keeps only the result.
struct ResultSink {
    int32_t result = 1;
    bool done = false;
    PassEventSink Sink() { return PassEventSink{this, Post}; }
    static bool Post(void* self, PassEvent* event) {
        ResultSink* sink = static_cast<ResultSink*>(self);
        if (event->kind == EVENT_DONE) {
            sink->done = true;
            sink->result = event->value;
        }
        FreePassEvent(event);
        return true;
    }
};

// The installer's check, on this thread: 0 when the package would be installed.
int32_t Check(FileHandle setup) {
    ResultSink sink;
    ScanJob* job = CreateScanJob(setup, 0, "Setup", sink.Sink());
    RunScanJob(job);
    FreeScanJob(job);
    return sink.done ? sink.result : -9999;
}

std::map<std::string, Bytes> Install(FileHandle setup, const fs::path& folder) {
    ResultSink sink;
    void* block = MemAlloc(sizeof(ExtractJob));
    memset(block, 0, sizeof(ExtractJob));
    ExtractJob* job = new (block) ExtractJob;
    PrepareExtractJob(job, setup, sink.Sink());
    WideString wide = Wide(folder);
    std::copy(wide.begin(), wide.end(), job->context.destinationFolder);
    job->context.platformFolder[0] = '6';
    job->context.platformFolder[1] = '4';
    int32_t result = RunExtractJob(job);
    job->~ExtractJob();
    MemFree(block);
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(folder)) files[entry.path().filename().string()] = ReadBytes(entry.path());
    if (result != 0) files["<result>"] = Bytes{static_cast<uint8_t>(result)};
    return files;
}

TEST(CorruptionSweep, EveryFlippedByteAndEveryCutIsRefusedOrInstallsTheOriginals) {
    ASSERT_NE(CreateInstallerState(), nullptr);
    TestArchive archive;
    archive.header.productCode = "NCS";
    archive.Add("64\\Tool.exe", Sequence(700, 1))
        .Add("FILE_ID.DIZ", {'T', 'o', 'o', 'l', ' ', 'V', 'e', 'r', 's', 'i', 'o', 'n', ' ', '1', '\r', '\n'})
        .Add("Tool_DE.LNG", {'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', '=', 'D', 'e'})
        .Add("32\\Tool.exe", Sequence(300, 2))
        .Add("ReadMe.txt", Sequence(200, 3));
    Bytes sound = MakeSetup(archive.Stream());
    const std::map<std::string, Bytes> original = {{"Tool.exe", archive.entries[0].data},
                                                   {"FILE_ID.DIZ", archive.entries[1].data},
                                                   {"Tool_DE.LNG", archive.entries[2].data},
                                                   {"ReadMe.txt", archive.entries[4].data}};
    const size_t payload = PAYLOAD_SEARCH_START + 4;

    std::vector<Bytes> mutants;
    for (size_t at = payload; at < sound.size(); ++at)
        for (uint8_t pattern : {0x01, 0x80, 0xFF}) {
            Bytes mutant = sound;
            mutant[at] ^= pattern;
            mutants.push_back(mutant);
        }
    for (size_t length = payload - 4; length < sound.size(); ++length)
        mutants.push_back(Bytes(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(length)));

    TempDir dir;
    size_t refused = 0, identical = 0, bad = 0;
    for (size_t i = 0; i < mutants.size(); ++i) {
        fs::path path = dir / "Setup.exe";
        WriteBytes(path, mutants[i]);
        FileHandle file = FileOpenRead(Wide(path).c_str());
        ASSERT_NE(file, NO_FILE);
        if (Check(file) != 0) {
            ++refused;
        } else {
            fs::path folder = dir / ("out" + std::to_string(i));
            fs::create_directories(folder);
            if (Install(file, folder) == original) {
                ++identical;
            } else {
                ++bad;
                ADD_FAILURE() << "mutant " << i << " passed the check and installed other files";
            }
            fs::remove_all(folder);
        }
        FileClose(file);
    }
    printf("[ sweep    ] %zu mutants: %zu refused, %zu identical, %zu bad\n", mutants.size(), refused, identical, bad);
    EXPECT_EQ(bad, 0u);
    EXPECT_GT(refused, mutants.size() / 2) << "most damage must be seen";
    ReleaseInstallerState();
}

}  // namespace
