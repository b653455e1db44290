// The packer against the reader: what `pack` writes, the installer's pass
// reads back exactly; and what the packer must refuse.
#include <gtest/gtest.h>
#include <string.h>

#include "pack.h"
#include "package_plan.h"
#include "core/installer_pass.h"
#include "payload/payload_container.h"
#include "setup_listing.h"
#include "test_support.h"

namespace {

class Packer : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(dir / "stub.exe", Bytes(5000, 0x4D));
        options.stub = dir / "stub.exe";
        options.output = dir / "Setup.exe";
        options.folder = dir / "product";
        options.productCode = "NVX";
        options.windowClass = "NvxMain";
        options.mainProgram = "Nvx.exe";
        options.year = 2026, options.month = 3, options.day = 14;
        options.lzma.level = 1;
        options.lzma.dictionarySize = 1 << 20;
    }

    void Put(const std::string& name, const Bytes& bytes) { WriteBytes(dir / ("product/" + name), bytes); }

    std::vector<std::string> Names(const SetupListing& listing) {
        std::vector<std::string> names;
        for (const ListedEntry& entry : listing.entries) names.push_back(entry.name);
        return names;
    }

    TempDir dir;
    PackOptions options;
};

TEST_F(Packer, WhatIsPackedIsReadBackExactly) {
    Bytes big = Sequence(200000, 1);
    Put("FILE_ID.DIZ", Sequence(100, 2));
    Put("64/bin/Nvx.exe", big);
    Put("32/Nvx.exe", Sequence(70000, 3));
    Put("Nvx_DE.LNG", Sequence(3000, 4));
    Put("docs/caf\xC3\xA9 \xE2\x82\xAC.txt", Sequence(10, 5));  // é and € are in Windows-1252
    Put("empty.txt", {});
    ASSERT_EQ(PackSetup(options), "");

    SetupListing listing = ReadSetupListing(options.output);
    ASSERT_EQ(listing.result, 0) << DescribePassResult(listing);
    EXPECT_EQ(listing.payloadOffset, PAYLOAD_SEARCH_START + 4);
    EXPECT_EQ(listing.properties[0], 0x5D);
    EXPECT_EQ(listing.productCode, "NVX");
    EXPECT_EQ(listing.windowClass, "NvxMain");
    EXPECT_EQ(listing.mainProgram, "Nvx.exe");
    EXPECT_EQ(listing.packageDate, PackageDateValue(2026, 3, 14));
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"32\\Nvx.exe", "64\\bin\\Nvx.exe", "FILE_ID.DIZ",
                                                        "Nvx_DE.LNG", "empty.txt",
                                                        "docs\\caf\xC3\xA9 \xE2\x82\xAC.txt"}));
    EXPECT_EQ(listing.entries[1].size, big.size());

    // Extracted, every byte is the original, with the package date as time.
    Recorder recorder;
    recorder.outputFolder = dir / "out";
    fs::create_directories(recorder.outputFolder);
    ASSERT_EQ(RunArchivePass(Wide(options.output).c_str(), Recorder::Handle, &recorder), 0);
    EXPECT_EQ(ReadBytes(dir / "out" / "Nvx.exe"), big);
    FileTime noon;
    ASSERT_TRUE(LocalNoonToFileTime(2026, 3, 14, &noon));
    EXPECT_EQ(LastWriteTicks(dir / "out" / "Nvx.exe"), Ticks(noon));
}

TEST_F(Packer, TheSameInputsGiveTheSameFile) {
    Put("b.txt", Sequence(5000, 1));
    Put("a/c.txt", Sequence(5000, 2));
    ASSERT_EQ(PackSetup(options), "");
    Bytes first = ReadBytes(options.output);
    ASSERT_EQ(PackSetup(options), "");
    EXPECT_EQ(ReadBytes(options.output), first);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 5000), Bytes(5000, 0x4D));
    EXPECT_EQ(first[6000], 0) << "the stub is padded with zeros";
}

TEST_F(Packer, OrderRules) {
    Put("zeta.txt", {1});
    Put("Alpha.txt", {1});
    Put("64/a.dll", {1, 2, 3});
    Put("64/z.dll", {1, 2});      // the smallest of 64 leads it
    Put("64/big.dll", Sequence(5000, 1));
    Put("32/empty.dll", {});      // an empty file shows the scan nothing, so it need not lead
    Put("32/sub/b.dll", {1});
    Put("32/a.dll", {1});         // as small as sub/b.dll, and first by name
    Put("Prog_DE.lng", {1});
    Put("Prog_IT.LNG", {1});
    Put("file_id.diz", {1});
    Put("last-empty.txt", {});
    std::vector<PackageEntry> entries;
    ASSERT_EQ(PlanPackage(options.folder, {}, &entries), "");
    std::vector<std::string> names;
    for (const PackageEntry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"32\\a.dll", "64\\z.dll", "file_id.diz", "Prog_DE.lng", "Prog_IT.LNG",
                                               "32\\empty.dll", "32\\sub\\b.dll", "64\\a.dll", "64\\big.dll",
                                               "Alpha.txt", "last-empty.txt", "zeta.txt"}));

    WriteBytes(dir / "order.txt", {'z', 'e', 't', 'a', '.', 't', 'x', 't', '\r', '\n', '3', '2', '\\', 'e', 'm',
                                   'p', 't', 'y', '.', 'd', 'l', 'l', '\n'});
    ASSERT_EQ(PlanPackage(options.folder, dir / "order.txt", &entries), "");
    names.clear();
    for (const PackageEntry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"zeta.txt", "32\\empty.dll", "32\\a.dll", "64\\z.dll", "file_id.diz",
                                               "Prog_DE.lng", "Prog_IT.LNG", "32\\sub\\b.dll", "64\\a.dll",
                                               "64\\big.dll", "last-empty.txt", "Alpha.txt"}))
        << "an empty last entry would never reach the installer";
}

TEST_F(Packer, RefusesWhatASetupFileCannotCarry) {
    std::string deep;
    for (int i = 0; i < 6; ++i) deep += std::string(170, 'd') + "/";
    struct Case {
        const char* what;
        std::string file;     // a file to add, UTF-8
        void (*change)(PackOptions&);
        const char* culprit;  // a part of the message that names the culprit
    } cases[] = {
        {"the byte 0xDD in a name", "\xC3\x9D.txt", nullptr, "\xC3\x9D.txt"},
        {"a name beyond Windows-1252", "\xE6\x97\xA5.txt", nullptr, "\xE6\x97\xA5.txt"},
#ifndef _WIN32  // such a path is beyond what Windows programs create without long-path support
        {"a name over 1018 bytes", deep + "file.txt", nullptr, "file.txt"},
#endif
        {"a product code over 3", "", [](PackOptions& o) { o.productCode = "ABCD"; }, "ABCD"},
        {"a window class over 31", "", [](PackOptions& o) { o.windowClass = std::string(32, 'w'); }, "window class"},
        {"a main program over 31", "", [](PackOptions& o) { o.mainProgram = std::string(28, 'm') + ".exe"; }, "main program"},
        {"a date before 2012", "", [](PackOptions& o) { o.year = 2011, o.month = 12, o.day = 31; }, "2011-12-31"},
        {"no calendar date", "", [](PackOptions& o) { o.year = 2023, o.month = 2, o.day = 29; }, "2023-02-29"},
        {"a missing stub", "", [](PackOptions& o) { o.stub = o.stub.parent_path() / "none.exe"; }, "none.exe"},
        {"a missing folder", "", [](PackOptions& o) { o.folder = o.folder.parent_path() / "nothing"; }, "nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir scratch;
        PackOptions o = options;
        o.folder = scratch / "product";
        o.output = scratch / "Setup.exe";
        WriteBytes(o.folder / "ok.txt", {1});
        if (!c.file.empty()) WriteBytes(o.folder / fs::u8path(c.file), {1});
        if (c.change) c.change(o);
        std::string error = PackSetup(o);
        EXPECT_NE(error.find(c.culprit), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(o.output));
        EXPECT_FALSE(fs::exists(scratch / "Setup.exe.partial"));
    }
}

TEST_F(Packer, RefusesAStubHoldingTheSignatureFrom89999On) {
    Put("a.txt", {1});
    Bytes stub(100000, 0);
    memcpy(stub.data() + 95000, PAYLOAD_SIGNATURE, 4);
    WriteBytes(options.stub, stub);
    EXPECT_NE(PackSetup(options).find("95000"), std::string::npos);
    EXPECT_FALSE(fs::exists(options.output));
    // Before 89999 the installer never looks: such a stub is fine.
    memset(stub.data() + 95000, 0, 4);
    memcpy(stub.data() + 89000, PAYLOAD_SIGNATURE, 4);
    WriteBytes(options.stub, stub);
    ASSERT_EQ(PackSetup(options), "");
    EXPECT_EQ(ReadSetupListing(options.output).payloadOffset, 100004u);
}

TEST_F(Packer, RefusesTwoEntriesThatTheInstallerWritesToOneFile) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        bool refused;
    } cases[] = {
        {"flattened without platform folders", {"x/a.txt", "y/A.TXT"}, true},
        {"a root file and one of the chosen folder", {"X", "64/x"}, true},
        {"letters of Windows-1252 fold too", {"d/\xC3\xA4.txt", "e/\xC3\x84.txt"}, true},
        {"the 32 folder beside a 64 one is never installed", {"32/x", "64/x"}, false},
        {"a subfolder beside platform folders is never installed", {"Data/a.txt", "a.txt", "64/b"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir scratch;
        for (const std::string& file : c.files) WriteBytes(scratch / "product" / fs::u8path(file), {1});
        std::vector<PackageEntry> entries;
        std::string error = PlanPackage(scratch / "product", {}, &entries);
        EXPECT_EQ(error.find("would both be installed as") != std::string::npos, c.refused) << error;
    }
}

#ifndef _WIN32  // Windows itself cannot make these names, which is the point
TEST_F(Packer, RefusesNamesThatWindowsCannotMakeAPlainFileOf) {
    for (const char* name : {"a:b.txt", "CON", "NUL.txt", "NUL .txt", "COM1", "lpt\xC2\xB9.log", "q?.txt",
                             "trail.", "sp ", "back\\slash.txt", "dir:x/file.txt", "con/file.txt", "tab\there"}) {
        SCOPED_TRACE(name);
        TempDir scratch;
        WriteBytes(scratch / "product" / fs::u8path(name), {1});
        PackOptions o = options;
        o.folder = scratch / "product";
        o.output = scratch / "Setup.exe";
        std::string error = PackSetup(o);
        std::string culprit = name;
        culprit = culprit.substr(0, culprit.find('/'));
        EXPECT_NE(error.find("\"" + culprit + "\""), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(o.output));
    }
}
#endif

TEST_F(Packer, PassesGoodNamesAndWarnsAboutWhatNoChoiceInstalls) {
    for (const char* name : {"\xC3\xA4.txt", "a b.txt", ".hidden", "NUL_x.txt", "CONFIG.SYS", "64/Tool.exe",
                             "64/sub/deep.dll", "32/Tool.exe", "Data/notes.txt", "FILE_ID.DIZ"})
        Put(name, {1});
    std::vector<std::string> warnings;
    ASSERT_EQ(PackSetup(options, &warnings), "");
    std::string all;
    for (const std::string& w : warnings) all += w + "\n";
    for (const char* never : {"64/sub/deep.dll", "32/Tool.exe", "Data/notes.txt"})
        EXPECT_NE(all.find(std::string("\"") + never + "\" is packed but never installed"), std::string::npos) << all;
    EXPECT_NE(all.find("\xC3\xA4.txt\" has a name beyond ASCII"), std::string::npos) << all;
    EXPECT_NE(all.find("no UnInst.exe"), std::string::npos) << all;
    EXPECT_NE(all.find("--main-program names Nvx.exe"), std::string::npos) << all;
    EXPECT_EQ(all.find("FILE_ID.DIZ"), std::string::npos) << all;
    EXPECT_EQ(all.find("a b.txt"), std::string::npos) << all;
}

TEST_F(Packer, FollowsLinksRefusesLoopsAndNeverPacksItsOwnOutput) {
    Put("a.txt", {1});
    WriteBytes(dir / "elsewhere" / "b.txt", {2});
    std::error_code ec;
    fs::create_directory_symlink(dir / "elsewhere", dir / "product" / "linked", ec);
    if (ec) GTEST_SKIP() << "no folder links here: " << ec.message();
    options.output = dir / "product" / "Setup.exe";
    WriteBytes(dir / "product" / "Setup.exe.partial", {3});
    ASSERT_EQ(PackSetup(options), "");
    ASSERT_EQ(PackSetup(options), "") << "a second run finds the first one's output in the folder";
    SetupListing listing = ReadSetupListing(options.output);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "linked\\b.txt"}));
    fs::create_directory_symlink(dir / "product", dir / "elsewhere" / "back", ec);
    EXPECT_NE(PackSetup(options).find("loop"), std::string::npos);
}

TEST_F(Packer, AnOrderFileMayCarryAByteOrderMarkAndBlanks) {
    Put("a.txt", {1});
    Put("b.txt", {1});
    WriteBytes(dir / "order.txt", {0xEF, 0xBB, 0xBF, 'b', '.', 't', 'x', 't', ' ', '\t', '\r', '\n'});
    std::vector<PackageEntry> entries;
    ASSERT_EQ(PlanPackage(options.folder, dir / "order.txt", &entries), "");
    EXPECT_EQ(entries.front().name, "b.txt");
}

TEST_F(Packer, TheDictionaryIsCutToThePayload) {
    Put("a.txt", Sequence(50000, 1));
    options.lzma.dictionarySize = 64u << 20;
    ASSERT_EQ(PackSetup(options), "");
    SetupListing listing = ReadSetupListing(options.output);
    const uint8_t* p = listing.properties;
    uint32_t dictionary = p[1] | (p[2] << 8) | (p[3] << 16) | (uint32_t{p[4]} << 24);
    EXPECT_EQ(dictionary, 64u << 10) << "the smallest the encoder takes above 50,000 bytes";
    EXPECT_EQ(listing.result, 0);
}

TEST_F(Packer, AFailedRunLeavesAnEarlierOutputAlone) {
    Put("a.txt", {1});
    WriteBytes(options.output, {9, 9, 9});
    options.productCode = "TOOLONG";
    EXPECT_NE(PackSetup(options), "");
    EXPECT_EQ(ReadBytes(options.output), (Bytes{9, 9, 9}));
}

}  // namespace
