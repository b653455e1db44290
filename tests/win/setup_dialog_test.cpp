// Pieces of the setup dialog on real windows: its texts, its position and
// the language list's menu in each UI language.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/installer_state.h"
#include "core/string_tables.h"
#include "dialog/setup_dialog.h"
#include "test_window.h"

namespace {

class SetupDialogParts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(CreateInstallerState(), nullptr);
        host_ = TestHostWindow();
        ASSERT_NE(host_, nullptr) << "no top-level window; is there an X display?";
        SetWindowTextW(host_, L"unchanged");
        for (int id : {99, 2, 1031}) {
            HWND child = CreateWindowW(L"BUTTON", L"old", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, host_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
            ASSERT_NE(child, nullptr);
            children_.push_back(child);
        }
    }
    void TearDown() override {
        for (HWND child : children_) DestroyWindow(child);
        ReleaseInstallerState();
    }

    static std::wstring Text(HWND window) {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        return text;
    }

    HWND host_ = nullptr;
    std::vector<HWND> children_;
};

TEST_F(SetupDialogParts, ApplyDialogTexts) {
    const short onlyOk[] = {0, 99, 0};
    ApplyDialogTexts(host_, STRING_TABLES[1], onlyOk);
    EXPECT_EQ(Text(host_), L"unchanged") << "a list starting with 0 leaves the title alone";
    EXPECT_EQ(Text(GetDlgItem(host_, 99)), L"&OK");
    EXPECT_EQ(Text(GetDlgItem(host_, 2)), L"old");

    ApplyDialogTexts(host_, STRING_TABLES[1], DIALOG_TEXT_IDS);
    EXPECT_EQ(Text(host_), L"Installation");
    EXPECT_EQ(Text(GetDlgItem(host_, 2)), L"Abbruch");
    EXPECT_EQ(Text(GetDlgItem(host_, 1031)), L"Zielpfad:");
    ApplyDialogTexts(host_, nullptr, DIALOG_TEXT_IDS);
    EXPECT_EQ(Text(host_), L"Installation") << "no table, no change";
}

TEST_F(SetupDialogParts, CentreOnDesktop) {
    SetWindowPos(host_, nullptr, 0, 0, 301, 201, SWP_NOZORDER | SWP_NOACTIVATE);
    CentreOnDesktop(host_);
    RECT desktop, window;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(host_, &window);
    EXPECT_EQ(window.left, ((desktop.right - desktop.left) - 301) >> 1);
    EXPECT_EQ(window.top, ((desktop.bottom - desktop.top) - 201) >> 1);
    EXPECT_EQ(window.right - window.left, 301) << "the size stays";
}

// Reads the texts of the popup menu this process shows, then closes it.
struct MenuReader {
    std::vector<std::wstring> texts;
    static DWORD WINAPI Watch(void* self) {
        MenuReader* reader = static_cast<MenuReader*>(self);
        for (int waited = 0; waited < 10000; waited += 20) {
            HWND menu = FindWindowW(L"#32768", nullptr);
            DWORD process = 0;
            if (menu) GetWindowThreadProcessId(menu, &process);
            if (menu && process == GetCurrentProcessId() && IsWindowVisible(menu)) {
                HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, 0x01E1 /* MN_GETHMENU */, 0, 0));
                for (int i = 0; i < GetMenuItemCount(items); ++i) {
                    wchar_t text[64] = {};
                    GetMenuStringW(items, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                    reader->texts.push_back(text);
                }
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                return 0;
            }
            Sleep(20);
        }
        return 1;
    }
};

TEST_F(SetupDialogParts, TheLanguageMenuSpeaksTheUiLanguage) {
    struct Case {
        int table;
        std::vector<std::wstring> texts;
    } cases[] = {
        {0, {L"Select &all", L"&Deselect all", L"&Invert selection"}},
        {1, {L"Alles &markieren", L"Markierung &aufheben", L"Markierung &umkehren"}},
        {2, {L"Seleziona tutto", L"Deseleziona tutto", L"Inverti selezione"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        gInstallerState->strings = STRING_TABLES[c.table];
        MenuReader reader;
        HANDLE thread = CreateThread(nullptr, 0, MenuReader::Watch, &reader, 0, nullptr);
        ShowLanguageMenu(host_);  // returns once the menu is closed
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        EXPECT_EQ(reader.texts, c.texts);
    }
}

}  // namespace
