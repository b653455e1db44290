// The dialog at 96 and 144 dpi: the shell dialog font scales with the
// system's DPI, and so does the whole dialog. Screenshots of both land in
// the screenshot folder, to be looked at.
#include "e2e_support.h"

namespace {

// Wine takes the system DPI from this value when a process starts.
class SystemDpi {
public:
    explicit SystemDpi(DWORD dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key_, nullptr);
        DWORD size = sizeof old_;
        had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
               ERROR_SUCCESS;
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~SystemDpi() {
        if (had_)
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

class Appearance : public EndToEnd {
protected:
    // The dialog's size in pixels at the given DPI, with its screenshot.
    SIZE DialogAt(DWORD dpi, const fs::path& setup) {
        SystemDpi system(dpi);
        SetupRun run(setup.wstring());
        HWND dialog = run.WaitForDialog();
        SIZE size = {0, 0};
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return size;
        RECT rect;
        GetWindowRect(dialog, &rect);
        size = SIZE{rect.right - rect.left, rect.bottom - rect.top};
        Screenshot(dialog, "dialog-" + std::to_string(dpi) + "dpi-" + UiLanguage());
        Press(dialog, 2);
        EXPECT_EQ(run.WaitForExit(), 0);
        return size;
    }
};

TEST_F(Appearance, TheDialogScalesWithTheSystemDpi) {
    fs::path setup = MakeProduct("NA1");
    SIZE normal = DialogAt(96, setup);
    SIZE large = DialogAt(144, setup);
    ASSERT_GT(normal.cx, 0);
    double ratio = static_cast<double>(large.cx) / normal.cx;
    EXPECT_GT(ratio, 1.35) << normal.cx << " -> " << large.cx << " pixels wide";
    EXPECT_LT(ratio, 1.65) << normal.cx << " -> " << large.cx << " pixels wide";
}

}  // namespace
