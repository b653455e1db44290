// Paths, folders and the three message boxes, on the real system calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/installer_state.h"
#include "core/string_tables.h"
#include "core/table_messages.h"
#include "support/files_messages.h"

namespace {

std::wstring TempFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + name;
}

// Removes a folder tree made by a test.
void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

TEST(FilesMessages, PathExistsForFilesAndFolders) {
    std::wstring folder = TempFolder(L"setup-pathexists");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring file = folder + L"\\f.txt";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(PathExists(folder.c_str()), 0);
    EXPECT_EQ(PathExists(file.c_str()), 0);
    EXPECT_EQ(PathExists((folder + L"\\missing").c_str()), -1);
    EXPECT_EQ(PathExists(L"Q:\\no\\such\\drive"), -1);
    RemoveTree(folder);
}

TEST(FilesMessages, CreateDirectoryTree) {
    std::wstring root = TempFolder(L"setup-tree");
    RemoveTree(root);
    CreateDirectoryW(root.c_str(), nullptr);
    EXPECT_EQ(CreateDirectoryTree((root + L"\\B\\C").c_str()), 0) << "missing parents are made";
    EXPECT_EQ(PathExists((root + L"\\B\\C").c_str()), 0);
    EXPECT_EQ(CreateDirectoryTree((root + L"\\B\\C").c_str()), 2) << "an existing folder counts as failure";
    EXPECT_EQ(CreateDirectoryTree(L"Q:\\A\\B"), 2) << "the walk ends at a drive root";
    EXPECT_EQ(PathExists(L"Q:\\A"), -1);
    RemoveTree(root);
}

TEST(FilesMessages, ToFullPathAndMemory) {
    wchar_t path[PATH_CAPACITY] = L"Tools";
    wchar_t current[PATH_CAPACITY];
    GetCurrentDirectoryW(PATH_CAPACITY, current);
    ToFullPath(path);
    EXPECT_EQ(std::wstring(path), std::wstring(current) + (current[lstrlenW(current) - 1] == L'\\' ? L"" : L"\\") +
                                      L"Tools");
    EXPECT_EQ(AllocZeroed(0), nullptr);
    unsigned char* block = static_cast<unsigned char*>(AllocZeroed(64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
    void* pointer = block;
    FreeAndNull(&pointer);
    EXPECT_EQ(pointer, nullptr);
    FreeAndNull(&pointer);
    EXPECT_EQ(pointer, nullptr);
}

TEST(FilesMessages, FormatSystemMessage) {
    wchar_t text[512];
    FormatSystemMessage(ERROR_FILE_NOT_FOUND, text, 512);
    EXPECT_GT(lstrlenW(text), 0);
    wchar_t one[1] = {L'x'};
    FormatSystemMessage(ERROR_FILE_NOT_FOUND, one, 1);
    EXPECT_EQ(one[0], 0);
    wchar_t small[8];
    for (wchar_t& c : small) c = L'#';
    FormatSystemMessage(ERROR_FILE_NOT_FOUND, small, 6);
    EXPECT_LE(lstrlenW(small), 4) << "at most capacity - 2 characters";
    EXPECT_EQ(small[6], L'#') << "nothing written past the capacity";
    FormatSystemMessage(0x2000FFFF, text, 512);
    EXPECT_EQ(text[0], 0) << "a code without text gives the empty text";
}

// Answers the next message box of this process from another thread and
// reports its caption and text.
struct BoxAnswer {
    std::wstring caption, text;
    HANDLE thread = nullptr;
    static DWORD WINAPI Watch(void* self) {
        BoxAnswer* answer = static_cast<BoxAnswer*>(self);
        for (int waited = 0; waited < 10000; waited += 20) {
            HWND box = FindWindowW(L"#32770", nullptr);
            DWORD process = 0;
            if (box) GetWindowThreadProcessId(box, &process);
            if (box && process == GetCurrentProcessId() && IsWindowVisible(box)) {
                wchar_t text[512];
                GetWindowTextW(box, text, 512);
                answer->caption = text;
                GetDlgItemTextW(box, 0xFFFF, text, 512);
                answer->text = text;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(20);
        }
        return 1;
    }
    void Start() { thread = CreateThread(nullptr, 0, Watch, this, 0, nullptr); }
    void Finish() {
        WaitForSingleObject(thread, 15000);
        CloseHandle(thread);
    }
};

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(CreateInstallerState(), nullptr);
        gInstallerState->strings = STRING_TABLES[0];
    }
    void TearDown() override { ReleaseInstallerState(); }

    std::wstring CaptionOf(const wchar_t* captionPath) {
        BoxAnswer answer;
        answer.Start();
        int result = ShowMessage(nullptr, L"text", captionPath, MB_OK);
        answer.Finish();
        EXPECT_EQ(result, IDOK);
        return answer.caption;
    }
};

TEST_F(MessageBoxes, TheCaptionIsTheFileNamePart) {
    EXPECT_EQ(CaptionOf(L"D:\\Downloads\\Install.exe"), L"Install.exe");
    EXPECT_EQ(CaptionOf(L"32/64"), L"64");
    EXPECT_EQ(CaptionOf(L"C:\\Ends\\"), L"C:\\Ends\\");
}

TEST_F(MessageBoxes, NothingIsShownWithoutAText) {
    EXPECT_EQ(ShowMessage(nullptr, L"", L"x", MB_OK), 2);
    EXPECT_EQ(ShowMessage(nullptr, nullptr, L"x", MB_OK), 2);
    EXPECT_EQ(ShowTableMessage(nullptr, 4711, L"x", MB_OK), 2);
    SetLastError(0);
    EXPECT_EQ(ShowSystemError(nullptr, 0, L"x"), 0);
    EXPECT_EQ(ShowSystemError(nullptr, 0x2000FFFF, L"x"), 2);
}

TEST_F(MessageBoxes, TableAndSystemTexts) {
    BoxAnswer answer;
    answer.Start();
    ShowTableMessage(nullptr, STRING_BROKEN_FILE, L"C:\\Downloads\\Setup.exe", MB_ICONERROR);
    answer.Finish();
    EXPECT_EQ(answer.text, L"Broken file, please download again.");
    EXPECT_EQ(answer.caption, L"Setup.exe");

    BoxAnswer system;
    system.Start();
    ShowSystemError(nullptr, ERROR_ACCESS_DENIED, nullptr);
    system.Finish();
    wchar_t expected[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0x400,
                   expected, 512, nullptr);
    std::wstring wanted = expected;
    while (!wanted.empty() && (wanted.back() == L'\n' || wanted.back() == L'\r')) wanted.pop_back();
    std::wstring shown = system.text;
    while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r')) shown.pop_back();
    EXPECT_EQ(shown, wanted);
    EXPECT_EQ(system.caption, L"") << "a null caption path gives an empty title";
}

}  // namespace
