// Installing for real: OK pressed, the files on Wine's drive, the values in
// Wine's registry, the shortcuts read back with lnkinfo.
#include <shlobj.h>

#include "e2e_support.h"

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return L"<no key>";
    LONG status = RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? value : L"<no value>";
}

// What lnkinfo reads from a shortcut file: "<target> | <working folder>".
std::string ShortcutInfo(const fs::path& link) {
    if (!fs::exists(link)) return "<no shortcut>";
    std::string text = RunUnix("lnkinfo \\\"" + UnixPath(link.wstring()) + "\\\"");
    auto field = [&](const std::string& name) {
        size_t at = text.find(name);
        if (at == std::string::npos) return "? (lnkinfo said: " + text + ")";
        size_t colon = text.find(':', at) + 1;
        size_t end = text.find('\n', colon);
        std::string value = text.substr(colon, end - colon);
        return value.substr(value.find_first_not_of(" \t"));
    };
    return field("Local path") + " | " + field("Working directory");
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += static_cast<char>(c);
    return out;
}

class Install : public EndToEnd {
protected:
    void SetUp() override {
        EndToEnd::SetUp();
        destination_ = work_ / "Installed Tool";
    }

    // Starts the setup and waits for its dialog, with the destination set.
    HWND Open(SetupRun& run) {
        HWND dialog = run.WaitForDialog();
        if (dialog) SetControlText(dialog, 1032, destination_.wstring());
        return dialog;
    }

    // Presses OK, expects the success message and answers it.
    void InstallAndConfirm(SetupRun& run, HWND dialog, const std::string& screenshot = "") {
        std::wstring title = WindowText(dialog);
        Press(dialog, 99);
        HWND box = run.WaitForMessageBox(60000);
        ASSERT_NE(box, nullptr) << "no message after OK";
        EXPECT_EQ(MessageBoxText(box), std::wstring(L"Norvalent Tool") + Expected().installed);
        EXPECT_EQ(WindowText(box), title);
        if (!screenshot.empty()) Screenshot(box, screenshot);
        Press(box, IDOK);
        EXPECT_EQ(run.WaitForExit(), 0);
    }

    std::vector<std::string> InstalledFiles() {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(destination_))
            names.push_back(entry.path().lexically_relative(destination_).generic_u8string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::map<std::string, std::string> Package() {
        return {{"32/NTool.exe", "32-bit program"},
                {"64/NTool.exe", "64-bit program"},
                {"64/UnInst.exe", "uninstaller"},
                {"FILE_ID.DIZ", "Norvalent Tool Version 3.1\r\nfor 32/64 bit Windows 11\r\n"},
                {"Tool_US.LNG", "Language=English\r\n"},
                {"Tool_US.CHM", "help"},
                {"Tool_DE.LNG", "Language=Deutsch\r\n"},
                {"Tool_DE.CHM", "Hilfe"},
                {"ReadMe.txt", "read me"}};
    }

    fs::path destination_;
};

TEST_F(Install, BothPlatformsInstallThe64BitFilesRegisterAndMakeShortcuts) {
    SetupRun run(Pack(Package(), "NI1", "NTool.exe").wstring());
    HWND dialog = Open(run);
    ASSERT_NE(dialog, nullptr);
    Screenshot(dialog, "install-" + UiLanguage());
    InstallAndConfirm(run, dialog, "installed-" + UiLanguage());

    EXPECT_EQ(InstalledFiles(), (std::vector<std::string>{"FILE_ID.DIZ", "NTool.exe", "ReadMe.txt", "Tool_DE.CHM",
                                                          "Tool_DE.LNG", "Tool_US.CHM", "Tool_US.LNG", "UnInst.exe"}));
    EXPECT_EQ(ReadText(destination_ / "NTool.exe"), "64-bit program");

    std::wstring key = std::wstring(kUninstallKey) + L"Norvalent Tool";
    std::wstring folder = destination_.wstring();
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, key, L"DisplayName"), L"Norvalent Tool");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, key, L"UninstallString"), L"\"" + folder + L"\\UnInst.exe\"");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, key, L"DisplayIcon"), folder + L"\\NTool.exe");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, key, L"Publisher"), L"Norvalent");
    EXPECT_NE(RegistryText(HKEY_LOCAL_MACHINE, key, L"URLInfoAbout").find(L"://"), std::wstring::npos);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\Norvalent", L"NI1"), folder);

    std::string target = Narrow(folder);
    std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Norvalent Tool";
    EXPECT_EQ(ShortcutInfo(group + L"\\Norvalent Tool.lnk"), target + "\\NTool.exe | " + target);
    EXPECT_EQ(ShortcutInfo(group + L"\\Uninstall.lnk"), target + "\\UnInst.exe | " + target);
    EXPECT_EQ(ShortcutInfo(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Norvalent Tool.lnk"),
              target + "\\NTool.exe | " + target);
}

TEST_F(Install, ThePlatformFolderDecidesWhatIsInstalled) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        std::vector<std::string> installed;
    } cases[] = {
        {"only 32", {{"32/NTool.exe", "32"}, {"FILE_ID.DIZ", "Norvalent Tool Version 1\r\n"}, {"Data/x.txt", "x"}},
         {"FILE_ID.DIZ", "NTool.exe"}},
        {"neither", {{"bin/NTool.exe", "n"}, {"FILE_ID.DIZ", "Norvalent Tool Version 1\r\n"}, {"Data/Sub/x.txt", "x"}},
         {"FILE_ID.DIZ", "NTool.exe", "x.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ec;
        fs::remove_all(destination_, ec);
        SetupRun run(Pack(c.files, "NI2", "NTool.exe").wstring());
        HWND dialog = Open(run);
        ASSERT_NE(dialog, nullptr);
        InstallAndConfirm(run, dialog);
        EXPECT_EQ(InstalledFiles(), c.installed);
        if (c.files.count("32/NTool.exe")) {
            EXPECT_EQ(ReadText(destination_ / "NTool.exe"), "32");
        }
    }
}

TEST_F(Install, UncheckedLanguagesAreLeftOutAndOldGermanFilesRemoved) {
    WriteText(destination_ / "Tool_DE.LNG", "old German");
    WriteText(destination_ / "Old_DE.CHM", "old German help");
    WriteText(destination_ / "Tool_DE.TXT", "stays");
    WriteText(destination_ / "Tool_US.CHM", "old English help");
    SetupRun run(Pack(Package(), "NI3", "NTool.exe").wstring());
    HWND dialog = Open(run);
    ASSERT_NE(dialog, nullptr);
    std::vector<ListItem> items = ListItems(dialog, 1010, run.processId());
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].code == 0x4544 || items[i].code == 0x5355)
            SetListItemChecked(dialog, 1010, run.processId(), static_cast<int>(i), false);
    InstallAndConfirm(run, dialog);
    EXPECT_EQ(InstalledFiles(), (std::vector<std::string>{"FILE_ID.DIZ", "NTool.exe", "ReadMe.txt", "Tool_DE.TXT",
                                                          "Tool_US.CHM", "UnInst.exe"}));
    EXPECT_EQ(ReadText(destination_ / "Tool_US.CHM"), "old English help") << "English files are never removed";
}

TEST_F(Install, TheMainProgramRule) {
    struct Case {
        const char* what;
        const char* headerProgram;
        std::map<std::string, std::string> files;
        bool shortcut;
        const wchar_t* displayIcon;
    } cases[] = {
        {"first N*.exe when the header names none", "",
         {{"a/Other.exe", "o"}, {"b/nMain.exe", "m"}, {"c/nLater.exe", "l"}, {"UnInst.exe", "u"},
          {"FILE_ID.DIZ", "Norvalent Tool Version 1\r\n"}},
         true, L"\\nMain.exe"},
        {"none at all", "",
         {{"Tool.exe", "t"}, {"UnInst.exe", "u"}, {"FILE_ID.DIZ", "Norvalent Tool Version 1\r\n"}}, false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        SetupRun run(Pack(c.files, "NI4", c.headerProgram).wstring());
        HWND dialog = Open(run);
        ASSERT_NE(dialog, nullptr);
        InstallAndConfirm(run, dialog);
        fs::path desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Norvalent Tool.lnk";
        EXPECT_EQ(fs::exists(desktopLink), c.shortcut);
        EXPECT_EQ(fs::exists(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Norvalent Tool"), c.shortcut);
        std::wstring icon = RegistryText(HKEY_LOCAL_MACHINE, std::wstring(kUninstallKey) + L"Norvalent Tool", L"DisplayIcon");
        EXPECT_EQ(icon, c.displayIcon[0] ? destination_.wstring() + c.displayIcon : L"");
    }
}

TEST_F(Install, AnExistingGroupIsLeftUntouchedAndTheFolderRemembered) {
    std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Norvalent Tool";
    WriteText(fs::path(group) / "Mine.txt", "the user's");
    SetupRun run(Pack(Package(), "NI5", "NTool.exe").wstring());
    HWND dialog = Open(run);
    ASSERT_NE(dialog, nullptr);
    InstallAndConfirm(run, dialog);
    std::vector<std::string> inGroup;
    for (const auto& entry : fs::directory_iterator(group)) inGroup.push_back(entry.path().filename().u8string());
    EXPECT_EQ(inGroup, std::vector<std::string>{"Mine.txt"});

    // The next setup of the same product proposes the folder, as it exists now.
    SetupRun next(Pack(Package(), "NI5", "NTool.exe").wstring());
    HWND again = next.WaitForDialog();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(ControlText(again, 1032), destination_.wstring());
    EXPECT_FALSE(IsChecked(again, 1041));
    Press(again, 2);
    EXPECT_EQ(next.WaitForExit(), 0);
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvalent", 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"NI5");
        RegCloseKey(key);
    }
}

TEST_F(Install, AnOldPsapiIsMovedAside) {
    WriteText(destination_ / "PSAPI.DLL", "old");
    SetupRun run(Pack(Package(), "NI6", "NTool.exe").wstring());
    HWND dialog = Open(run);
    ASSERT_NE(dialog, nullptr);
    InstallAndConfirm(run, dialog);
    EXPECT_FALSE(fs::exists(destination_ / "PSAPI.DLL"));
    EXPECT_EQ(ReadText(destination_ / "NVPSAPI.DLL"), "old");
}

TEST_F(Install, AnEmptyDestinationDoesNothing) {
    SetupRun run(Pack(Package(), "NI7", "NTool.exe").wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, 1032, L"");
    Press(dialog, 99);
    EXPECT_EQ(run.WaitForMessageBox(2000), nullptr) << "nothing is shown";
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open";
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
}

TEST_F(Install, AnUnwritableDestinationShowsTheSystemErrorAndOkCanBePressedAgain) {
    WriteText(work_ / "a file", "in the way");
    SetupRun run(Pack(Package(), "NI8", "NTool.exe").wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, 1032, (work_ / "a file" / "Tool").wstring());
    Press(dialog, 99);
    HWND box = run.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr);
    wchar_t expected[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_PATH_NOT_FOUND, 0x400,
                   expected, 512, nullptr);
    std::wstring shown = MessageBoxText(box), wanted = expected;
    while (!wanted.empty() && (wanted.back() == L'\n' || wanted.back() == L'\r')) wanted.pop_back();
    while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r')) shown.pop_back();
    EXPECT_EQ(shown, wanted);
    EXPECT_EQ(WindowText(box), L"");
    Press(box, IDOK);
    Sleep(300);
    ASSERT_TRUE(IsWindow(dialog)) << "the dialog stays open after a failure";
    SetControlText(dialog, 1032, destination_.wstring());
    InstallAndConfirm(run, dialog);
    EXPECT_EQ(ReadText(destination_ / "NTool.exe"), "64-bit program");
}

TEST_F(Install, QuickLaunchOnlyWhereTheSystemStillHasIt) {
    fs::path quickLaunch = fs::path(SpecialFolder(CSIDL_APPDATA)) / "Microsoft" / "Internet Explorer" / "Quick Launch";
    fs::create_directories(quickLaunch);
    {
        SetupRun run(Pack(Package(), "NI9", "NTool.exe").wstring());
        HWND dialog = Open(run);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(IsShown(dialog, 1043));
        EXPECT_TRUE(IsChecked(dialog, 1043));
        InstallAndConfirm(run, dialog);
        std::string target = Narrow(destination_.wstring());
        EXPECT_EQ(ShortcutInfo(quickLaunch / "Norvalent Tool.lnk"), target + "\\NTool.exe | " + target);
    }
    // A system that pins to the taskbar instead gets no Quick Launch shortcut.
    fs::create_directories(quickLaunch / "User Pinned" / "TaskBar");
    {
        SetupRun run(Pack(Package(), "NI9", "NTool.exe").wstring());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(IsShown(dialog, 1043));
        Press(dialog, 2);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
    std::error_code ec;
    fs::remove_all(quickLaunch.parent_path(), ec);
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvalent", 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"NI9");
        RegCloseKey(key);
    }
}

}  // namespace
