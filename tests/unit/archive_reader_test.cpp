// The incremental archive reader: the same calls, files and checksum however
// the decoded stream is cut into blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <memory>

#include "payload/archive_reader.h"
#include "test_support.h"

namespace {

struct Fed {
    std::unique_ptr<ArchiveReader> reader{new ArchiveReader()};
    Recorder recorder;
    std::vector<int32_t> results;
};

std::unique_ptr<Fed> Feed(const Bytes& stream, const std::vector<uint32_t>& lengths, const fs::path& output = {}) {
    std::unique_ptr<Fed> fed(new Fed());
    fed->recorder.outputFolder = output;
    fed->results = FeedInBlocks(fed->reader.get(), stream, lengths, &fed->recorder);
    return fed;
}

TEST(ArchiveReader, ReadsTheExampleStream) {
    TempDir dir;
    auto fed = Feed(ExampleStream(), {19}, dir.path());
    const ArchiveReader& r = *fed->reader;
    EXPECT_EQ(r.announcedChecksum, 155u);
    EXPECT_EQ(r.checksum, 155u);
    EXPECT_EQ(r.state, READER_IN_ENTRY);
    EXPECT_EQ(r.entryCount, 1u);
    EXPECT_STREQ(r.productCode, "");
    EXPECT_STREQ(r.windowClass, "");
    EXPECT_STREQ(r.mainProgram, "");
    EXPECT_EQ(r.packageDate, 403u);
    EXPECT_EQ(r.outputFile, NO_FILE);
    ASSERT_EQ(fed->recorder.calls.size(), 2u);
    EXPECT_EQ(fed->recorder.calls[0].preview, false);
    EXPECT_EQ(fed->recorder.calls[0].size, 2u);
    EXPECT_TRUE(fed->recorder.calls[1] == HandlerCall({Utf8(Wide(dir / "A").c_str()), true, 2, {1, 2}}));
    EXPECT_EQ(ReadBytes(dir / "A"), (Bytes{0x01, 0x02}));
    FileTime noon;
    ASSERT_TRUE(LocalNoonToFileTime(2012, 12, 31, &noon));
    EXPECT_EQ(LastWriteTicks(dir / "A"), Ticks(noon));
}

#ifndef _WIN32
TEST(ArchiveReader, PackageTimeIsNoonLocalTime) {
    const char* saved = getenv("TZ");
    std::string restore = saved ? saved : "";
    setenv("TZ", "UTC", 1);
    tzset();
    FileTime noon;
    ASSERT_TRUE(LocalNoonToFileTime(2012, 12, 31, &noon));
    EXPECT_EQ(Ticks(noon), 130014288000000000ull);  // 2012-12-31 12:00 UTC
    setenv("TZ", "CET", 1);
    tzset();
    ASSERT_TRUE(LocalNoonToFileTime(2012, 12, 31, &noon));
    EXPECT_EQ(Ticks(noon), 130014288000000000ull - 3600ull * 10000000ull);
    if (saved) setenv("TZ", restore.c_str(), 1); else unsetenv("TZ");
    tzset();
}
#endif

TEST(ArchiveReader, AnySplitGivesTheSameCallsAndChecksum) {
    Bytes stream = ExampleStream();
    auto whole = Feed(stream, {19});
    std::vector<std::vector<uint32_t>> splits = {{1}, {0, 1, 0}, {2, 0}, {3}};
    for (uint32_t a = 0; a <= 19; ++a)
        for (uint32_t b = 0; a + b <= 19; ++b) splits.push_back({a, b, 19 - a - b});
    for (const auto& split : splits) {
        SCOPED_TRACE(::testing::PrintToString(split));
        auto fed = Feed(stream, split);
        EXPECT_EQ(fed->recorder.calls, whole->recorder.calls);
        EXPECT_EQ(fed->reader->checksum, 155u);
        EXPECT_EQ(fed->reader->announcedChecksum, 155u);
        EXPECT_EQ(fed->reader->entryCount, 1u);
    }
}

TEST(ArchiveReader, ANameEndingABlockWaitsForOneMoreByte) {
    Bytes stream = ExampleStream();
    Fed fed;
    StartReader(fed.reader.get(), &fed.recorder);
    // Up to and including the name's terminator (index 16): no call yet.
    EXPECT_EQ(ArchiveFeed(stream.data(), 17, fed.reader.get()), 0);
    EXPECT_TRUE(fed.recorder.calls.empty());
    EXPECT_EQ(fed.reader->state, READER_ENTRY_PENDING);
    EXPECT_EQ(ArchiveFeed(stream.data() + 17, 1, fed.reader.get()), 0);
    ASSERT_EQ(fed.recorder.calls.size(), 1u);
    EXPECT_EQ(ArchiveFeed(stream.data() + 18, 1, fed.reader.get()), 0);
    EXPECT_EQ(fed.recorder.calls.size(), 2u);
}

TEST(ArchiveReader, EmptyEntriesGetNoPreviewAndAnEmptyFile) {
    TestArchive archive;
    archive.Add("one", {7}).Add("empty", {}).Add("three", {8, 9});
    Bytes stream = archive.Stream();
    for (uint32_t block : {static_cast<uint32_t>(stream.size()), 1u, 5u}) {
        SCOPED_TRACE(block);
        TempDir dir;
        auto fed = Feed(stream, {block}, dir.path());
        int previews = 0, starts = 0;
        for (const HandlerCall& call : fed->recorder.calls) {
            if (call.name.find("empty") == std::string::npos) continue;
            (call.preview ? previews : starts) += 1;
        }
        EXPECT_EQ(starts, 1);
        EXPECT_EQ(previews, 0);
        ASSERT_TRUE(fs::exists(dir / "empty"));
        EXPECT_EQ(fs::file_size(dir / "empty"), 0u);
        FileTime noon;
        ASSERT_TRUE(LocalNoonToFileTime(2012, 12, 31, &noon));
        EXPECT_EQ(LastWriteTicks(dir / "empty"), Ticks(noon));
        EXPECT_EQ(ReadBytes(dir / "three"), (Bytes{8, 9}));
        EXPECT_EQ(fed->reader->checksum, archive.Checksum());
    }
}

TEST(ArchiveReader, AnEmptyEntryEndingTheStreamIsNeverReported) {
    TestArchive archive;
    archive.Add("one", {7}).Add("last", {});
    auto fed = Feed(archive.Stream(), {1});
    for (const HandlerCall& call : fed->recorder.calls) EXPECT_EQ(call.name, "one");
    EXPECT_EQ(fed->reader->entryCount, 1u);
    EXPECT_EQ(fed->reader->checksum, archive.Checksum());  // an empty entry adds nothing
}

TEST(ArchiveReader, OnePreviewWithTheFirstBytesHoweverTheDataIsSplit) {
    for (size_t size : {size_t{1}, size_t{1024}, size_t{5000}}) {
        TestArchive archive;
        Bytes data = Sequence(size, static_cast<uint32_t>(size));
        archive.Add("f", data).Add("g", {1});
        Bytes stream = archive.Stream();
        for (uint32_t block : {static_cast<uint32_t>(stream.size()), 1u, 7u, 1000u, 1023u}) {
            SCOPED_TRACE(::testing::Message() << "size " << size << ", blocks of " << block);
            auto fed = Feed(stream, {block});
            std::vector<HandlerCall> previews;
            for (const HandlerCall& call : fed->recorder.calls)
                if (call.preview && call.name == "f") previews.push_back(call);
            ASSERT_EQ(previews.size(), 1u);
            size_t expected = std::min<size_t>(size, 1024);
            EXPECT_EQ(previews[0].size, expected);
            EXPECT_EQ(previews[0].bytes, Bytes(data.begin(), data.begin() + static_cast<long>(expected)));
            EXPECT_EQ(fed->reader->checksum, archive.Checksum());
        }
    }
}

TEST(ArchiveReader, EntriesNotAskedForAreReadButNotWritten) {
    TestArchive archive;
    archive.Add("a", Sequence(3000, 1)).Add("b", Sequence(10, 2));
    for (bool emptyPath : {false, true}) {
        SCOPED_TRACE(emptyPath ? "path emptied" : "handler answered 0");
        TempDir dir;
        Fed fed;
        fed.recorder.outputFolder = dir.path();
        fed.recorder.answer = emptyPath ? 1 : 0;
        fed.recorder.emptyPath = emptyPath;
        FeedInBlocks(fed.reader.get(), archive.Stream(), {100}, &fed.recorder);
        EXPECT_TRUE(fs::is_empty(dir.path()));
        EXPECT_EQ(fed.reader->checksum, archive.Checksum());
        EXPECT_EQ(fed.reader->entryCount, 2u);
    }
}

TEST(ArchiveReader, ALaterEntryReplacesAnEarlierOneOfTheSamePath) {
    TestArchive archive;
    archive.Add("x\\same", Sequence(2000, 1)).Add("y\\same", {5, 6, 7});
    TempDir dir;
    auto fed = Feed(archive.Stream(), {64}, dir.path());
    EXPECT_EQ(ReadBytes(dir / "same"), (Bytes{5, 6, 7}));
}

TEST(ArchiveReader, DatesAndTheirCalendarDays) {
    struct Case {
        uint32_t value;
        int year, month, day;
    } cases[] = {{403, 2012, 12, 31}, {32, 2012, 1, 1}, {PackageDateValue(2026, 12, 11), 2026, 12, 11},
                 {PackageDateValue(2024, 2, 29), 2024, 2, 29}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        int year, month, day;
        SplitPackageDate(c.value, &year, &month, &day);
        EXPECT_EQ(year, c.year);
        EXPECT_EQ(month, c.month);
        EXPECT_EQ(day, c.day);
    }
}

TEST(ArchiveReader, ANonCalendarDateLeavesTheFileTimesAlone) {
    TestArchive archive;
    archive.header.date = PackageDateValue(2013, 2, 30);
    archive.Add("f", {1, 2, 3});
    TempDir dir;
    auto fed = Feed(archive.Stream(), {1000}, dir.path());
    EXPECT_EQ(Ticks(fed->reader->packageTime), 0u);
    FileTime noon;
    ASSERT_TRUE(LocalNoonToFileTime(2013, 3, 2, &noon));
    uint64_t written = LastWriteTicks(dir / "f");
    EXPECT_GT(written, Ticks(noon) + 86400ull * 10000000ull * 365);  // written now, not in 2013
}

TEST(ArchiveReader, HeaderTextsLongerThanTheirCapacityAreCut) {
    TestArchive archive;
    archive.header.productCode = "ABCDE";  // the fourth character is eaten in the terminator's place
    archive.header.windowClass = "Window";
    archive.Add("f", {1});
    // Cutting "ABCDE" to 3 consumes "ABC" and "D"; "E" then starts the next text.
    auto fed = Feed(archive.Stream(), {1000});
    EXPECT_STREQ(fed->reader->productCode, "ABC");
    EXPECT_STREQ(fed->reader->windowClass, "E");
}

TEST(ArchiveReader, AHeaderBeyondTheCarryNeverCompletes) {
    TestArchive archive;
    archive.Add("a", {1}).Add(std::string(1019, 'n'), {2}).Add("c", {3});
    Bytes stream = archive.Stream();
    // Cut the stream inside the long entry's name.
    size_t cut = stream.size() - 20;
    auto fed = Feed(stream, {static_cast<uint32_t>(cut - 1000), 1000, 20});
    EXPECT_EQ(fed->reader->entryCount, 1u);
    EXPECT_EQ(fed->reader->carryFill, CARRY_CAPACITY);
    EXPECT_NE(fed->reader->checksum, archive.Checksum());
    // The longest name the packer allows still fits when split anywhere.
    TestArchive longest;
    longest.Add("a", {1}).Add(std::string(1018, 'n'), {2}).Add("c", {3});
    Bytes fits = longest.Stream();
    for (uint32_t first : {20u, 30u, 500u, 1040u}) {
        SCOPED_TRACE(first);
        auto split = Feed(fits, {first, 1});
        EXPECT_EQ(split->reader->checksum, longest.Checksum());
        EXPECT_EQ(split->reader->entryCount, 3u);
    }
}

// Output-file errors: where the feed notices them decides how a pass ends.
TEST(ArchiveReader, AFileThatCannotBeCreatedStopsTheFeedAtOnce) {
    TestArchive archive;
    archive.Add("one", {1}).Add("two", {2}).Add("three", {3});
    TempDir dir;
    Fed fed;
    fed.recorder.outputFolder = dir / "missing";
    fed.results = FeedInBlocks(fed.reader.get(), archive.Stream(), {1000}, &fed.recorder);
    EXPECT_EQ(fed.results, std::vector<int32_t>{1});
    EXPECT_EQ(fed.reader->error, 3);  // the folder is missing
    EXPECT_EQ(fed.recorder.calls.size(), 1u);
}

TEST(ArchiveReader, ACreationFailureFromTheCarryIsNoticedAtTheNextHeader) {
    TestArchive archive;
    archive.Add("one", {1, 2, 3, 4, 5}).Add("two", {2});
    Bytes stream = archive.Stream();
    TempDir dir;
    Fed fed;
    fed.recorder.outputFolder = dir.path();
    PlatformFailNth(FAULT_CREATE, 1, 82);
    // The first block ends inside the first entry's name.
    uint32_t header = static_cast<uint32_t>(ArchiveHeaderSize(archive.header));
    fed.results = FeedInBlocks(fed.reader.get(), stream, {header + 6, 1000}, &fed.recorder);
    PlatformClearFaults();
    EXPECT_EQ(fed.results, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(fed.reader->error, 82);
    // The entry's data was still previewed and counted.
    ASSERT_GE(fed.recorder.calls.size(), 2u);
    EXPECT_TRUE(fed.recorder.calls[1].preview);
    EXPECT_FALSE(fs::exists(dir / "one"));
}

TEST(ArchiveReader, AFileWithAFailedWriteNeverReplacesTheOldOne) {
    TestArchive archive;
    Bytes data = Sequence(3000, 4);
    archive.Add("big", data).Add("next", {1});
    Bytes stream = archive.Stream();
    uint32_t header = static_cast<uint32_t>(ArchiveHeaderSize(archive.header) + EntryHeaderSize("big"));
    TempDir dir;
    WriteBytes(dir / "big", {7, 7, 7});
    Fed fed;
    fed.recorder.outputFolder = dir.path();
    PlatformFailNth(FAULT_WRITE, 2, 112);  // the entry's second write, from the continuing-data step
    fed.results = FeedInBlocks(fed.reader.get(), stream, {header + 1000, 1000, 500, 5000}, &fed.recorder);
    PlatformClearFaults();
    EXPECT_EQ(fed.reader->error, 112) << "only the first error is kept";
    // Noticed only at the next entry header attempt, in the last block.
    EXPECT_EQ(fed.results, (std::vector<int32_t>{0, 0, 0, 1}));
    CloseArchiveReaderOutput(fed.reader.get());
    EXPECT_EQ(ReadBytes(dir / "big"), (Bytes{7, 7, 7})) << "the old file stays whole";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    // "next" was begun when the error was noticed, and dropped with its pass.
    EXPECT_EQ(left, (std::vector<std::string>{"big"})) << "no temporary file is left";
}

TEST(ArchiveReader, ANewFileIsWrittenInPlaceAndDeletedWhenItCannotBeCompleted) {
    TestArchive archive;
    archive.Add("big", Sequence(3000, 4)).Add("next", {1});
    Bytes stream = archive.Stream();
    uint32_t header = static_cast<uint32_t>(ArchiveHeaderSize(archive.header) + EntryHeaderSize("big"));
    TempDir dir;
    Fed fed;
    fed.recorder.outputFolder = dir.path();
    StartReader(fed.reader.get(), &fed.recorder);
    Bytes first(stream.begin(), stream.begin() + header + 1000), rest(stream.begin() + header + 1000, stream.end());
    ASSERT_EQ(ArchiveFeed(first.data(), static_cast<uint32_t>(first.size()), fed.reader.get()), 0);
    EXPECT_TRUE(fs::exists(dir / "big")) << "being written under its own name";
    PlatformFailNth(FAULT_WRITE, 1, 112);
    ArchiveFeed(rest.data(), static_cast<uint32_t>(rest.size()), fed.reader.get());
    PlatformClearFaults();
    CloseArchiveReaderOutput(fed.reader.get());
    EXPECT_EQ(fed.reader->error, 112);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0)
        << "neither the cut file nor a temporary one is left";
}

TEST(ArchiveReader, AReadOnlyOldFileIsReplacedToo) {
    TempDir dir;
    WriteBytes(dir / "A", {9, 9, 9, 9});
    fs::permissions(dir / "A", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Fed fed;
    fed.recorder.outputFolder = dir.path();
    fed.results = FeedInBlocks(fed.reader.get(), ExampleStream(), {19}, &fed.recorder);
    EXPECT_EQ(fed.reader->error, 0);
    EXPECT_EQ(ReadBytes(dir / "A"), (Bytes{1, 2}));
}

TEST(ArchiveReader, AFinishedFileReplacesTheOldOneWhole) {
    TempDir dir;
    WriteBytes(dir / "A", {9, 9, 9, 9});
    Fed fed;
    fed.recorder.outputFolder = dir.path();
    fed.results = FeedInBlocks(fed.reader.get(), ExampleStream(), {18, 1}, &fed.recorder);
    EXPECT_EQ(ReadBytes(dir / "A"), (Bytes{1, 2})) << "moved over the old file once complete";
    EXPECT_FALSE(fs::exists(dir / "~nvsetup1.tmp"));
    // A replace that fails leaves the old file and no temporary one.
    WriteBytes(dir / "A", {9, 9, 9, 9});
    Fed again;
    again.recorder.outputFolder = dir.path();
    PlatformFailNth(FAULT_REPLACE, 1, 32);
    again.results = FeedInBlocks(again.reader.get(), ExampleStream(), {19}, &again.recorder);
    PlatformClearFaults();
    EXPECT_EQ(again.reader->error, 32);
    EXPECT_EQ(ReadBytes(dir / "A"), (Bytes{9, 9, 9, 9}));
    EXPECT_FALSE(fs::exists(dir / "~nvsetup1.tmp"));
}

}  // namespace
