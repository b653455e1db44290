// End to end: real setup files, made by the packer from small packages, run
// as a user would run them, under the UI language of the test run.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive_writer.h"
#include "e2e_support.h"

namespace fs = std::filesystem;

namespace {

TEST_F(EndToEnd, TheDialogShowsThePackage) {
    fs::path setup = MakeProduct("NT1");
    SetupRun run(setup.wstring());
    ASSERT_TRUE(run.started());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "the setup dialog did not appear";
    const Texts& t = Expected();
    EXPECT_EQ(WindowText(dialog), std::wstring(t.title) + L" Norvalent Tool 3.1");
    EXPECT_EQ(ControlText(dialog, 1001), L"Norvalent Tool 3.1");
    EXPECT_EQ(ControlText(dialog, 1002), L"32/64 bit ");
    EXPECT_EQ(ControlText(dialog, 2), t.cancel);
    EXPECT_EQ(ControlText(dialog, 1031), t.destination);
    EXPECT_EQ(ControlText(dialog, 1041), t.group);
    EXPECT_EQ(ControlText(dialog, 1032), ProgramFiles() + L"\\Norvalent Tool");
    EXPECT_TRUE(IsChecked(dialog, 1041));
    EXPECT_TRUE(IsChecked(dialog, 1042));
    std::vector<ListItem> items = ListItems(dialog, 1010, run.processId());
    std::vector<std::wstring> names;
    for (const ListItem& item : items) {
        names.push_back(item.text);
        EXPECT_TRUE(item.checked) << "every language of a new installation is checked";
    }
    std::vector<std::wstring> expected = {t.english, L"Fran\u00e7ais", t.german, L"Italiano"};
    std::sort(expected.begin(), expected.end(), [](const std::wstring& a, const std::wstring& b) {
        return lstrcmpiW(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(names, expected);
    Screenshot(dialog, "dialog-" + UiLanguage());
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_FALSE(fs::exists(ProgramFiles() + L"\\Norvalent Tool")) << "Cancel writes nothing";
}

TEST_F(EndToEnd, EscapeAndTheCloseBoxEndWithoutInstalling) {
    fs::path setup = MakeProduct("NT2");
    {
        SetupRun run(setup.wstring());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        HWND focus = GetDlgItem(dialog, 1032);
        PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
    {
        SetupRun run(setup.wstring());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
    EXPECT_FALSE(fs::exists(ProgramFiles() + L"\\Norvalent Tool"));
}

TEST_F(EndToEnd, ADamagedSetupSaysSoAndEnds) {
    fs::path sound = MakeProduct("NT3");
    std::ifstream in(sound, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::string corrupt = bytes;
    corrupt[90003 + 9 + 40] = static_cast<char>(corrupt[90003 + 9 + 40] ^ 0x55);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"cut short", bytes.substr(0, bytes.size() - 20)},
        {"checksum off by one",
         ReadText(WriteRawSetup({{"FILE_ID.DIZ", "Norvalent Tool Version 3.1\r\n"}}, "NT3", 1))},
        {"corrupt", corrupt},
        {"without payload", bytes.substr(0, 89999)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path broken = work_ / "Broken Setup.exe";
        std::ofstream(broken, std::ios::binary) << c.bytes;
        SetupRun run(broken.wstring());
        HWND box = run.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "no message appeared";
        EXPECT_EQ(MessageBoxText(box), Expected().broken);
        EXPECT_EQ(WindowText(box), L"Broken Setup.exe");
        if (std::string(c.what) == "cut short") Screenshot(box, "broken-" + UiLanguage());
        Press(box, IDOK);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
}

TEST_F(EndToEnd, ArgumentsChangeNothing) {
    fs::path setup = MakeProduct("NT4");
    SetupRun run(setup.wstring(), L"/S /D=C:\\Elsewhere --help");
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, 1032), ProgramFiles() + L"\\Norvalent Tool");
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
}

TEST_F(EndToEnd, TheFolderBrowserStartsAtTheTypedFolderOrItsParent) {
    fs::path setup = MakeProduct("NT8");
    fs::path existing = work_ / "BrowseHere";
    fs::create_directories(existing);
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, 1032, (existing / "New").wstring());
    Press(dialog, 1033);
    HWND browser = run.WaitForOtherDialog(10000);
    ASSERT_NE(browser, nullptr) << "the folder browser did not open";
    HWND tree = FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
    ASSERT_NE(tree, nullptr);
    for (int waited = 0; waited < 5000 && SelectedTreeItem(tree, run.processId()) != L"BrowseHere"; waited += 100)
        Sleep(100);
    EXPECT_EQ(SelectedTreeItem(tree, run.processId()), L"BrowseHere");
    Press(browser, IDOK);
    for (int waited = 0; waited < 5000 && IsWindow(browser); waited += 100) Sleep(100);
    EXPECT_EQ(ControlText(dialog, 1032), existing.wstring()) << "the chosen folder goes into the edit";
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
}

// The popup menu window of a process, once it shows.
HWND WaitForMenu(DWORD processId, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        for (HWND menu = FindWindowW(L"#32768", nullptr); menu; menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(menu, &owner);
            if (owner == processId && IsWindowVisible(menu)) return menu;
        }
        Sleep(50);
    }
    return nullptr;
}

TEST_F(EndToEnd, TheLanguageListsMenuAndItsCommands) {
    fs::path setup = MakeProduct("NT9");
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, 1010);

    PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 1032)), MAKELPARAM(10, 10));
    EXPECT_EQ(WaitForMenu(run.processId(), 1500), nullptr) << "no menu for the destination edit";
    PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(10, 10));
    HWND menu = WaitForMenu(run.processId(), 5000);
    ASSERT_NE(menu, nullptr) << "the language list's menu did not show";
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    for (int waited = 0; waited < 5000 && IsWindowVisible(menu); waited += 50) Sleep(50);

    auto checks = [&] {
        std::vector<bool> states;
        for (const ListItem& item : ListItems(dialog, 1010, run.processId())) states.push_back(item.checked);
        return states;
    };
    size_t count = checks().size();
    SendMessageW(dialog, WM_COMMAND, 137, 0);  // deselect all
    EXPECT_EQ(checks(), std::vector<bool>(count, false));
    SetListItemChecked(dialog, 1010, run.processId(), 0, true);
    SendMessageW(dialog, WM_COMMAND, 138, 0);  // invert
    std::vector<bool> inverted(count, true);
    inverted[0] = false;
    EXPECT_EQ(checks(), inverted);
    SendMessageW(dialog, WM_COMMAND, 136, 0);  // select all
    EXPECT_EQ(checks(), std::vector<bool>(count, true));
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
}

class RememberedFolder : public EndToEnd {
protected:
    void Remember(const wchar_t* code, const std::wstring& folder) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvalent", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, code, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    void TearDown() override {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvalent", 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, L"NT5");
            RegDeleteValueW(key, L"NT6");
            RegCloseKey(key);
        }
        EndToEnd::TearDown();
    }
};

TEST_F(RememberedFolder, IsProposedAsStored) {
    fs::path setup = MakeProduct("NT5");
    Remember(L"NT5", L"C:\\Remembered\\Place");
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, 1032), L"C:\\Remembered\\Place");
    EXPECT_TRUE(IsChecked(dialog, 1041)) << "a folder that does not exist is a new installation";
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
}

TEST_F(RememberedFolder, AnExistingFolderKeepsTheBoxesAndUnchecksMissingLanguages) {
    fs::path setup = MakeProduct("NT6");
    fs::path existing = work_ / "Installed Tool";
    WriteText(existing / "Tool_IT.LNG", "Language=Italiano\r\n");
    Remember(L"NT6", existing.wstring());
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, 1032), existing.wstring());
    EXPECT_FALSE(IsChecked(dialog, 1041));
    EXPECT_FALSE(IsChecked(dialog, 1042));
    EXPECT_FALSE(IsChecked(dialog, 1043));
    for (const ListItem& item : ListItems(dialog, 1010, run.processId())) {
        SCOPED_TRACE(std::string(item.text.begin(), item.text.end()));
        bool keeps = item.code == 0x5355 || item.code == 0x4544 || item.code == 0x5449;
        EXPECT_EQ(item.checked, keeps);
    }
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
}

}  // namespace
