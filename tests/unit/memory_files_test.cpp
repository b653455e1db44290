// What the files in memory add to the contract: the Windows rules the POSIX
// files cannot show, and the core running on them as it would on Windows.
#include <gtest/gtest.h>

#include "core/installer_state.h"
#include "passes/extract_handler.h"
#include "payload/archive_pass.h"
#include "platform/memory_files.h"
#include "test_support.h"

namespace {

std::u16string U(const std::string& text) { return std::u16string(text.begin(), text.end()); }
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

class MemoryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryFilesReset();
        ASSERT_TRUE(MemoryFolderCreate(u"C:\\work"));
    }
    void TearDown() override { PlatformClearFaults(); }
};

TEST_F(MemoryFiles, RefusesWhatWindowsWouldNotTakeAsAFileName) {
    const char* refused[] = {"CON", "nul.txt", "NUL .txt", "com1", "LPT\xB9.log", "conin$", "a:b", "a<b",
                             "x?", "tab\there", "sub\\AUX\\x.txt"};
    uint32_t count = 0;
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        std::u16string path = u"C:\\work\\" + U(name);
        for (char16_t& c : path) c = static_cast<char16_t>(static_cast<uint8_t>(c));
        EXPECT_EQ(FileCreateAlways(path.c_str()), NO_FILE);
        EXPECT_EQ(LastErrorCode(), 123u);
        EXPECT_EQ(MemoryFilesRefusedNames(), ++count);
    }
    for (const char* name : {"CONSOLE.txt", "COM10", "LPT", "nul_file", "a.b.c", "..."}) {
        SCOPED_TRACE(name);
        FileHandle file = FileCreateAlways((u"C:\\work\\" + U(name)).c_str());
        if (std::string(name) == "...") {
            EXPECT_EQ(file, NO_FILE) << "nothing but dots names the folder itself";
            EXPECT_EQ(LastErrorCode(), 5u);
            continue;
        }
        ASSERT_NE(file, NO_FILE);
        EXPECT_TRUE(FileClose(file));
    }
    EXPECT_EQ(MemoryFilesRefusedNames(), count);
}

TEST_F(MemoryFiles, AFileBeingWrittenIsNotSharedForMore) {
    FileHandle writer = FileCreateNew(u"C:\\work\\a.txt");
    ASSERT_NE(writer, NO_FILE);
    struct Case {
        const char* what;
        bool failed;
    } cases[] = {
        {"opened for reading", FileOpenRead(u"C:\\work\\A.TXT") == NO_FILE},
        {"created again", FileCreateAlways(u"c:/work/a.txt") == NO_FILE},
        {"deleted", !DeleteFileAt(u"C:\\work\\a.txt")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.failed);
    }
    EXPECT_EQ(LastErrorCode(), 32u);
    EXPECT_EQ(MemoryFilesOpenHandles(), 1u);
    EXPECT_TRUE(FileClose(writer));
    FileHandle first = FileOpenRead(u"C:\\work\\a.txt"), second = FileOpenRead(u"C:\\work\\a.txt");
    EXPECT_NE(first, NO_FILE);
    EXPECT_NE(second, NO_FILE) << "readers share";
    EXPECT_FALSE(FileReplace(u"C:\\work\\a.txt", u"C:\\work\\b.txt"));
    EXPECT_EQ(LastErrorCode(), 32u);
    FileClose(first);
    FileClose(second);
    EXPECT_EQ(MemoryFilesOpenHandles(), 0u);
}

TEST_F(MemoryFiles, AFullDiskRefusesTheWriteAndKeepsTheRest) {
    MemoryFilesSetCapacity(10);
    ASSERT_TRUE(MemoryFileStore(u"C:\\work\\a", "12345678", 8));
    FileHandle file = FileCreateAlways(u"C:\\work\\b");
    uint32_t done = 99;
    EXPECT_FALSE(FileWrite(file, "abc", 3, &done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(LastErrorCode(), 112u);
    EXPECT_TRUE(FileWrite(file, "ab", 2, &done));
    EXPECT_TRUE(FileClose(file));
    EXPECT_TRUE(DeleteFileAt(u"C:\\work\\a"));
    EXPECT_TRUE(MemoryFileStore(u"C:\\work\\c", "12345678", 8)) << "deleting gives the space back";
    MemoryFile read;
    ASSERT_TRUE(MemoryFileLoad(u"c:\\WORK\\B", &read));
    EXPECT_EQ(read.path, u"C:\\work\\b") << "the names as created";
    EXPECT_EQ(read.data, (std::vector<uint8_t>{'a', 'b'}));
}

// The installer's filter over a package whose names differ only in letter
// case: on Windows the later file replaces the earlier, which POSIX files
// cannot show.
TEST_F(MemoryFiles, ThePassWritesAsOnWindows) {
    ASSERT_NE(CreateInstallerState(), nullptr);
    TestArchive archive;
    archive.Add("ReadMe.txt", Text("first")).Add("64\\README.TXT", Text("second")).Add("64\\Tool.exe", Text("x"));
    Bytes setup = MakeSetup(archive.Stream());
    ASSERT_TRUE(MemoryFileStore(u"C:\\work\\Setup.exe", setup.data(), setup.size()));
    ASSERT_TRUE(MemoryFolderCreate(u"C:\\Program Files\\Tool"));
    InstallContext context = {};
    const std::u16string destination = u"C:\\Program Files\\Tool";
    std::copy(destination.begin(), destination.end(), context.destinationFolder);
    context.platformFolder[0] = '6';
    context.platformFolder[1] = '4';
    ExtractView view = {[](void*, const WideChar*) {}};
    context.view = &view;
    ArchiveReader reader;
    EXPECT_EQ(RunArchivePassOn(&reader, u"C:\\work\\Setup.exe", OnExtractEntry, &context), 0);
    std::vector<std::u16string> paths;
    for (const MemoryFile& file : MemoryFilesList()) paths.push_back(file.path);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"C:\\Program Files\\Tool\\README.TXT",
                                                  u"C:\\Program Files\\Tool\\Tool.exe", u"C:\\work\\Setup.exe"}))
        << "the later file's name";
    MemoryFile readMe;
    ASSERT_TRUE(MemoryFileLoad(u"C:\\Program Files\\Tool\\readme.txt", &readMe));
    EXPECT_EQ(readMe.data, Text("second"));
    EXPECT_EQ(MemoryFilesOpenHandles(), 0u);
    ReleaseInstallerState();
}

}  // namespace
