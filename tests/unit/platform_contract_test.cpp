// The file calls as the core relies on them, the same for every backend:
// what they do, and the Windows error code each failure leaves.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform_contract.h"

namespace {

class PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = MakeContractScratch();
        folder = scratch->Folder();
    }
    void TearDown() override { PlatformClearFaults(); }

    ContractPath At(const char* name) const {
        ContractPath path = folder;
        path += WIDE("\\");
        for (const char* c = name; *c; ++c) path += static_cast<WideChar>(static_cast<uint8_t>(*c));
        return path;
    }

    void Store(const ContractPath& path, const std::string& text) {
        FileHandle file = FileCreateAlways(path.c_str());
        ASSERT_NE(file, NO_FILE);
        uint32_t done = 0;
        ASSERT_TRUE(FileWrite(file, text.data(), static_cast<uint32_t>(text.size()), &done));
        ASSERT_TRUE(FileClose(file));
    }

    // The whole file, or "<error N>" when it cannot be opened.
    std::string Load(const ContractPath& path) {
        FileHandle file = FileOpenRead(path.c_str());
        if (file == NO_FILE) return "<error " + std::to_string(LastErrorCode()) + ">";
        std::string text;
        char buffer[7];
        uint32_t got = 0;
        while (FileRead(file, buffer, sizeof buffer, &got) && got > 0) text.append(buffer, got);
        EXPECT_TRUE(FileClose(file));
        return text;
    }

    std::unique_ptr<ContractScratch> scratch;
    ContractPath folder;
};

TEST_F(PlatformFiles, WritesReadsAndSizesAFile) {
    ContractPath path = At("data.bin");
    FileHandle file = FileCreateNew(path.c_str());
    ASSERT_NE(file, NO_FILE);
    uint32_t done = 0;
    ASSERT_TRUE(FileWrite(file, "0123456789", 10, &done));
    EXPECT_EQ(done, 10u);
    ASSERT_TRUE(FileSeek(file, 2));
    ASSERT_TRUE(FileWrite(file, "ab", 2, &done));
    ASSERT_TRUE(FileClose(file));
    EXPECT_TRUE(FileOrFolderExists(path.c_str()));

    file = FileOpenRead(path.c_str());
    ASSERT_NE(file, NO_FILE);
    EXPECT_EQ(FileSize32(file), 10u);
    char buffer[16] = {};
    ASSERT_TRUE(FileReadAt(file, 7, buffer, 8, &done));
    EXPECT_EQ(std::string(buffer, done), "789") << "a read at an offset stops at the end";
    ASSERT_TRUE(FileReadAt(file, 0, buffer, 4, &done));
    EXPECT_EQ(std::string(buffer, done), "01ab");
    ASSERT_TRUE(FileSeek(file, 9));
    ASSERT_TRUE(FileRead(file, buffer, 4, &done));
    EXPECT_EQ(std::string(buffer, done), "9");
    ASSERT_TRUE(FileRead(file, buffer, 4, &done));
    EXPECT_EQ(done, 0u) << "at the end";
    EXPECT_FALSE(FileSeek(file, -1));
    EXPECT_EQ(LastErrorCode(), 131u);
    EXPECT_TRUE(FileClose(file));
}

TEST_F(PlatformFiles, CreatingKeepsOrReplacesAsAsked) {
    ContractPath path = At("a.txt");
    Store(path, "first, longer");
    EXPECT_EQ(FileCreateNew(path.c_str()), NO_FILE);
    EXPECT_EQ(LastErrorCode(), 80u);
    EXPECT_EQ(Load(path), "first, longer");
    Store(path, "second");
    EXPECT_EQ(Load(path), "second") << "FileCreateAlways truncates";
}

TEST_F(PlatformFiles, EachFailureLeavesItsWindowsCode) {
    ContractPath missing = At("missing.txt"), nowhere = At("no folder\\x.txt"), sub = At("sub");
    scratch->MakeFolder(sub);
    struct Case {
        const char* what;
        bool (*call)(const ContractPath&);
        ContractPath path;
        uint32_t code;
    } cases[] = {
        {"open a missing file", [](const ContractPath& p) { return FileOpenRead(p.c_str()) != NO_FILE; }, missing, 2},
        {"open in a missing folder", [](const ContractPath& p) { return FileOpenRead(p.c_str()) != NO_FILE; }, nowhere, 3},
        {"create in a missing folder", [](const ContractPath& p) { return FileCreateNew(p.c_str()) != NO_FILE; }, nowhere, 3},
        {"open a folder", [](const ContractPath& p) { return FileOpenRead(p.c_str()) != NO_FILE; }, sub, 5},
        {"create over a folder", [](const ContractPath& p) { return FileCreateAlways(p.c_str()) != NO_FILE; }, sub, 5},
        {"create new over a folder", [](const ContractPath& p) { return FileCreateNew(p.c_str()) != NO_FILE; }, sub, 80},
        {"delete a missing file", [](const ContractPath& p) { return DeleteFileAt(p.c_str()); }, missing, 2},
        {"delete in a missing folder", [](const ContractPath& p) { return DeleteFileAt(p.c_str()); }, nowhere, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastErrorCode(0);
        EXPECT_FALSE(c.call(c.path));
        EXPECT_EQ(LastErrorCode(), c.code);
    }
    EXPECT_FALSE(FileOrFolderExists(missing.c_str()));
    EXPECT_TRUE(FileOrFolderExists(sub.c_str()));
}

TEST_F(PlatformFiles, DeletesAndReplacesWholeFiles) {
    ContractPath a = At("a.txt"), b = At("b.txt"), c = At("c.txt");
    Store(a, "new");
    Store(b, "old");
    scratch->SetReadOnly(b);
    ASSERT_TRUE(FileReplace(a.c_str(), b.c_str())) << "a read-only file is replaced all the same";
    EXPECT_FALSE(FileOrFolderExists(a.c_str()));
    EXPECT_EQ(Load(b), "new");
    ASSERT_TRUE(FileReplace(b.c_str(), c.c_str())) << "or moved where nothing is";
    EXPECT_EQ(Load(c), "new");
    EXPECT_FALSE(FileReplace(a.c_str(), c.c_str()));
    EXPECT_EQ(LastErrorCode(), 2u);
    EXPECT_EQ(Load(c), "new") << "a failed replace leaves the target";
    ASSERT_TRUE(DeleteFileAt(c.c_str()));
    EXPECT_FALSE(FileOrFolderExists(c.c_str()));
}

TEST_F(PlatformFiles, SetsTheTimesOrLeavesThem) {
    ContractPath path = At("t.txt");
    FileHandle file = FileCreateAlways(path.c_str());
    ASSERT_NE(file, NO_FILE);
    FileTime noon;
    ASSERT_TRUE(LocalNoonToFileTime(2019, 6, 3, &noon));
    ASSERT_TRUE(FileSetTimes(file, &noon));
    ASSERT_TRUE(FileClose(file));
    uint64_t ticks = (uint64_t{noon.high} << 32) | noon.low;
    EXPECT_EQ(scratch->LastWrite(path), ticks);

    file = FileCreateAlways(path.c_str());
    FileTime none = {0, 0};
    ASSERT_TRUE(FileSetTimes(file, &none));
    ASSERT_TRUE(FileClose(file));
    EXPECT_NE(scratch->LastWrite(path), ticks) << "no time leaves the time of the writing";
}

TEST_F(PlatformFiles, InjectedFaultsFailOnceWithTheirCode) {
    ContractPath path = At("f.txt");
    PlatformFailNth(FAULT_CREATE, 2, 112);
    Store(path, "one");
    EXPECT_EQ(FileCreateAlways(path.c_str()), NO_FILE);
    EXPECT_EQ(LastErrorCode(), 112u);
    Store(path, "three");
    PlatformFailNth(FAULT_CLOSE, 1, 1117);
    FileHandle file = FileOpenRead(path.c_str());
    ASSERT_NE(file, NO_FILE);
    EXPECT_FALSE(FileClose(file));
    EXPECT_EQ(LastErrorCode(), 1117u);
    EXPECT_TRUE(DeleteFileAt(path.c_str())) << "a failed close still releases the file";
}

TEST_F(PlatformFiles, NamesFollowWindows) {
    if (!scratch->WindowsNaming()) GTEST_SKIP() << "POSIX names keep their case and their dots";
    Store(At("Read Me.TXT"), "text");
    EXPECT_EQ(Load(At("read me.txt")), "text") << "letter case is ignored";
    EXPECT_EQ(Load(At("READ ME.TXT. .")), "text") << "trailing dots and spaces are dropped";
    EXPECT_EQ(Load(At("sub\\..\\Read Me.txt")), "text") << "'..' is resolved";
    EXPECT_EQ(FileCreateNew(At("READ ME.txt").c_str()), NO_FILE);
    EXPECT_EQ(LastErrorCode(), 80u);
    Store(At("\xC4rger.txt"), "umlaut");  // Windows-1252 bytes widened: Ärger
    EXPECT_EQ(Load(At("\xE4rger.TXT")), "umlaut") << "beyond ASCII too";
}

}  // namespace
