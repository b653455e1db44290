// The Win32 backend of the platform layer: every failure leaves the code of
// the call that failed. A sentinel is set as the last error before each call,
// so a code that merely survived from an earlier call shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

std::wstring TempFile(const wchar_t* name) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + name;
}

TEST(PlatformWin32, FailedCallsLeaveTheirOwnCode) {
    std::wstring missing = TempFile(L"setup-no-such-folder\\x.bin");
    SetLastError(kSentinel);
    EXPECT_EQ(FileOpenRead(TempFile(L"setup-no-such-file.bin").c_str()), NO_FILE);
    EXPECT_EQ(LastErrorCode(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_EQ(FileCreateAlways(missing.c_str()), NO_FILE);
    EXPECT_EQ(LastErrorCode(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteFileAt(missing.c_str()));
    EXPECT_EQ(LastErrorCode(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST(PlatformWin32, InjectedFaultsLeaveTheirCodeAndCloseStillReleases) {
    std::wstring path = TempFile(L"setup-platform-faults.bin");
    FileHandle file = FileCreateAlways(path.c_str());
    ASSERT_NE(file, NO_FILE);
    struct Case {
        PlatformOperation operation;
        uint32_t code;
    } cases[] = {{FAULT_WRITE, 112}, {FAULT_SEEK, 131}, {FAULT_SET_TIMES, 1117}};
    FileTime time = {0x12345678, 0x01D00000};
    uint32_t done = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        PlatformFailNth(c.operation, 1, c.code);
        SetLastError(kSentinel);
        bool ok = c.operation == FAULT_WRITE  ? FileWrite(file, "x", 1, &done)
                  : c.operation == FAULT_SEEK ? FileSeek(file, 0)
                                              : FileSetTimes(file, &time);
        EXPECT_FALSE(ok);
        EXPECT_EQ(LastErrorCode(), c.code);
    }
    PlatformFailNth(FAULT_SIZE, 1, 87);
    SetLastError(kSentinel);
    EXPECT_EQ(FileSize32(file), 0xFFFFFFFFu);
    EXPECT_EQ(LastErrorCode(), 87u);
    PlatformFailNth(FAULT_CLOSE, 1, 1117);
    SetLastError(kSentinel);
    EXPECT_FALSE(FileClose(file));
    EXPECT_EQ(LastErrorCode(), 1117u);
    PlatformClearFaults();
    EXPECT_NE(DeleteFileW(path.c_str()), 0) << "the handle was released despite the failure";
}

}  // namespace

namespace {

TEST(PlatformWin32, AReplaceTakesThePlaceOfAReadOnlyFile) {
    std::wstring from = TempFile(L"setup-replace-new.bin"), to = TempFile(L"setup-replace-old.bin");
    SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(to.c_str());
    for (const auto& [path, text] : {std::pair<std::wstring, const char*>{from, "new"}, {to, "old"}}) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text, 3, &written, nullptr);
        CloseHandle(file);
    }
    ASSERT_TRUE(SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(FileReplace(from.c_str(), to.c_str())) << LastErrorCode();
    EXPECT_EQ(GetFileAttributesW(from.c_str()), INVALID_FILE_ATTRIBUTES) << "the new file moved";
    EXPECT_EQ(GetFileAttributesW(to.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    char text[4] = {};
    DWORD read = 0;
    HANDLE file = CreateFileW(to.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ReadFile(file, text, 3, &read, nullptr);
    CloseHandle(file);
    EXPECT_STREQ(text, "new");
    DeleteFileW(to.c_str());
}

}  // namespace
