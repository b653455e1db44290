// Awkward but real input: names another writer's package may hold, typed
// destinations, product names with characters that folders cannot have, and
// a setup file that someone tries to swap while the dialog is open.
#include <shlobj.h>

#include "e2e_support.h"

namespace {

class Safety : public EndToEnd {
protected:
    std::wstring SystemText(DWORD code) {
        wchar_t text[512] = {};
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, text, 512,
                       nullptr);
        std::wstring result = text;
        while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r')) result.pop_back();
        return result;
    }
    static std::wstring Trimmed(std::wstring text) {
        while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
        return text;
    }
};

TEST_F(Safety, APackageWithADeviceNameIsBrokenAndWritesNothing) {
    fs::path destination = work_ / "Installed";
    fs::path setup = WriteRawSetup({{"FILE_ID.DIZ", "Norvalent Tool Version 3.1\r\n"},
                                    {"Tool.exe", "program"},
                                    {"Data\\CON", "where would this go?"}},
                                   "NS1");
    SetupRun run(setup.wstring());
    HWND box = run.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), Expected().broken);
    Press(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(Safety, RelativeDestinationsAreRefusedAndTrailingSpacesDropped) {
    fs::path setup = MakeProduct("NS2");
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    for (const wchar_t* typed : {L"Tools", L"\\Tools", L"C:Tools"}) {
        SCOPED_TRACE(std::string(typed, typed + wcslen(typed)));
        SetControlText(dialog, 1032, typed);
        Press(dialog, 99);
        HWND box = run.WaitForMessageBox(10000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(Trimmed(MessageBoxText(box)), SystemText(ERROR_BAD_PATHNAME));
        Press(box, IDOK);
        for (int waited = 0; waited < 3000 && IsWindow(box); waited += 50) Sleep(50);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 99))) << "the dialog stays for another try";
    }
    EXPECT_FALSE(fs::exists(L"C:\\windows\\system32\\Tools"));
    // "C:\Foo " is where Windows would put C:\Foo: the install goes there.
    std::wstring typed = work_.wstring() + L"\\Foo  ";
    SetControlText(dialog, 1032, L"  " + typed);
    Press(dialog, 99);
    HWND box = run.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), std::wstring(L"Norvalent Tool") + Expected().installed);
    Press(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_EQ(ReadText(work_ / "Foo" / "Tool.exe"), "64-bit program");
    wchar_t remembered[1024] = {};
    DWORD bytes = sizeof remembered;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Norvalent", L"NS2", RRF_RT_REG_SZ, nullptr, remembered, &bytes);
    EXPECT_EQ(std::wstring(remembered), (work_ / "Foo").wstring()) << "the full path, as installed";
}

TEST_F(Safety, AProductNameWithASlashMakesOneProgramGroup) {
    fs::path destination = work_ / "Tcp Monitor";
    fs::path setup = Pack({{"64/TcpMon.exe", "monitor"}, {"64/UnInst.exe", "uninstaller"},
                           {"FILE_ID.DIZ", "TCP/IP Monitor Version 2\r\nfor 64 bit Windows\r\n"}},
                          "NS3", "TcpMon.exe");
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, 1032), std::wstring(Environment(L"ProgramFiles")) + L"\\TCP_IP Monitor");
    SetControlText(dialog, 1032, destination.wstring());
    Press(dialog, 99);
    HWND box = run.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), std::wstring(L"TCP/IP Monitor") + Expected().installed) << "shown as written";
    Press(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0);
    std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    EXPECT_TRUE(fs::exists(programs + L"\\TCP_IP Monitor\\TCP_IP Monitor.lnk"));
    EXPECT_TRUE(fs::exists(programs + L"\\TCP_IP Monitor\\Uninstall.lnk"));
    EXPECT_FALSE(fs::exists(programs + L"\\TCP")) << "no folder per part of the name";
    EXPECT_TRUE(fs::exists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\TCP_IP Monitor.lnk"));
    HKEY key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TCP/IP Monitor", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS)
        << "a slash is no separator in a key name";
    wchar_t command[1024] = {};
    DWORD bytes = sizeof command;
    RegQueryValueExW(key, L"UninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(command), &bytes);
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TCP/IP Monitor");
    EXPECT_EQ(std::wstring(command), L"\"" + destination.wstring() + L"\\UnInst.exe\"") << "quoted: the path has a space";
    std::error_code ec;
    fs::remove_all(programs + L"\\TCP_IP Monitor", ec);
    fs::remove(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\TCP_IP Monitor.lnk", ec);
}

TEST_F(Safety, TheSetupFileCannotBeSwappedWhileTheDialogIsOpen) {
    fs::path setup = MakeProduct("NS4");
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    fs::path moved = work_ / "Moved.exe";
    EXPECT_FALSE(MoveFileW(setup.c_str(), moved.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE writer = CreateFileW(setup.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "nobody may write it either";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    Press(dialog, 2);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_TRUE(MoveFileW(setup.c_str(), moved.c_str())) << "free again once the setup has ended";
}

}  // namespace
