// A package large enough to take a while: the dialog shows before the check
// ends, and the install shows progress on a window that keeps taking input,
// ignores Cancel and the close box, and keeps the success box for the user.
#include "e2e_support.h"

#include <commctrl.h>

#include <random>

namespace {

// Incompressible data, so that checking and installing take their time.
std::string Noise(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4) {
        uint32_t word = random();
        for (size_t k = 0; k < 4 && i + k < size; ++k) bytes[i + k] = static_cast<char>(word >> (8 * k));
    }
    return bytes;
}

void PressEnter() {
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

class Responsiveness : public EndToEnd {};

TEST_F(Responsiveness, ALargePackageShowsAtOnceAndInstallsWithProgress) {
    fs::path setup = Pack({{"64/NTool.exe", "64-bit program"},
                           {"64/Data.bin", Noise(24 << 20)},
                           {"FILE_ID.DIZ", "Norvalent Tool Version 3.1\r\nfor 64 bit Windows\r\n"},
                           {"Tool_US.LNG", "Language=English\r\n"}},
                          "NL1", "NTool.exe", "", 0);
    SetupRun run(setup.wstring());
    HWND dialog = run.WaitForDialogShown();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 99))) << "OK waits while the package is checked";
    // The head of the package has arrived long before its end.
    for (int waited = 0; waited < 5000 && WindowText(dialog) == Expected().title; waited += 20) Sleep(20);
    EXPECT_EQ(WindowText(dialog), std::wstring(Expected().title) + L" Norvalent Tool 3.1");
    // A check that takes more than a moment shows its progress.
    HWND bar = GetDlgItem(dialog, 1048);
    for (int waited = 0; waited < 5000 && !IsWindowVisible(bar) && !IsWindowEnabled(GetDlgItem(dialog, 99));
         waited += 20)
        Sleep(20);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 99))) << "the check is still running";
    Screenshot(dialog, "checking-" + UiLanguage());
    ASSERT_EQ(run.WaitForDialog(60000), dialog);

    fs::path destination = work_ / "Large";
    SetControlText(dialog, 1032, destination.wstring());
    Press(dialog, 99);
    std::vector<LRESULT> positions;
    HWND box = nullptr;
    for (int waited = 0; waited < 60000 && !box; waited += 20) {
        LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
        if (positions.empty() || positions.back() != position) positions.push_back(position);
        if (position > 0 && position < 500) {
            // A user who lost patience: Cancel, the close box and Enter.
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            PressEnter();
        }
        box = run.WaitForMessageBox(20);
    }
    ASSERT_NE(box, nullptr) << "no message after OK";
    EXPECT_GE(positions.size(), 3u) << "the progress bar moved through the install";
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    Sleep(1000);
    EXPECT_TRUE(IsWindow(box)) << "the success box stays until the user answers it";
    EXPECT_EQ(MessageBoxText(box), std::wstring(L"Norvalent Tool") + Expected().installed);
    Press(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_EQ(fs::file_size(destination / "Data.bin"), 24u << 20);
}

}  // namespace
