// Running copies of the product: left alone until OK, then asked to close
// (never destroyed), waited for, and when one stays, nothing is written and
// the user is asked to close it.
#include "e2e_support.h"

namespace {

constexpr char kProductClass[] = "NorvalentToolMain";

// The product's running copy: the stand-in program with the product's class.
class StandIn {
public:
    StandIn(const fs::path& log, const char* mode) : log_(log) {
        std::wstring program = Environment(L"STANDIN_PRODUCT");
        std::wstring commandLine = L"\"" + program + L"\" " + Wide(kProductClass) + L" \"" + log.wstring() + L"\" " +
                                   Wide(mode);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info))
            return;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        for (int waited = 0; waited < 10000 && !ready(); waited += 50) Sleep(50);
    }
    ~StandIn() { Kill(); }
    bool ready() const { return process_ && ReadText(log_).find("ready") != std::string::npos; }
    // What it was told, one event a line, after "ready".
    std::string Log() const {
        std::string text = ReadText(log_);
        size_t ready = text.find("ready\n");
        return ready == std::string::npos ? "" : text.substr(ready + 6);
    }
    bool Ended(DWORD milliseconds) const { return WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0; }
    void Kill() {
        if (!process_) return;
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        process_ = nullptr;
    }

private:
    static std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }
    fs::path log_;
    HANDLE process_ = nullptr;
};

class RunningCopies : public EndToEnd {
protected:
    fs::path Product(const std::string& code) { return MakeProduct(code, kProductClass); }
    fs::path destination() { return work_ / "Installed"; }

    HWND OpenAt(SetupRun& run) {
        HWND dialog = run.WaitForDialog();
        if (dialog) SetControlText(dialog, 1032, destination().wstring());
        return dialog;
    }
    void ExpectSuccess(SetupRun& run) {
        HWND box = run.WaitForMessageBox(60000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), std::wstring(L"Norvalent Tool") + Expected().installed);
        Press(box, IDOK);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
};

TEST_F(RunningCopies, AreLeftAloneUnlessOkIsPressed) {
    StandIn product(work_ / "product.log", "1");
    ASSERT_TRUE(product.ready());
    fs::path setup = Product("NR1");
    {
        SetupRun run(setup.wstring());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        Press(dialog, 2);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
    // A broken package: the check fails, the message shows, nothing is sent.
    std::string bytes = ReadText(setup);
    fs::path broken = work_ / "Broken.exe";
    WriteText(broken, bytes.substr(0, bytes.size() - 20));
    {
        SetupRun run(broken.wstring());
        HWND box = run.WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        Press(box, IDOK);
        EXPECT_EQ(run.WaitForExit(), 0);
    }
    Sleep(500);
    EXPECT_EQ(product.Log(), "") << "the running copy was told something";
    EXPECT_FALSE(product.Ended(0));
}

TEST_F(RunningCopies, AreAskedToCloseOnOkAndWaitedFor) {
    // This copy refuses the first request, as one that saved first might, and
    // closes on the next.
    StandIn product(work_ / "product.log", "2");
    ASSERT_TRUE(product.ready());
    SetupRun run(Product("NR2").wstring());
    HWND dialog = OpenAt(run);
    ASSERT_NE(dialog, nullptr);
    Press(dialog, 99);
    ExpectSuccess(run);
    EXPECT_TRUE(product.Ended(5000));
    EXPECT_EQ(product.Log(), "close 1\nclose 2\n") << "asked with WM_CLOSE, never destroyed";
    EXPECT_EQ(ReadText(destination() / "Tool.exe"), "64-bit program");
}

TEST_F(RunningCopies, OneThatStaysIsNamedAndNothingIsWritten) {
    // This copy answers with a question of its own and is left to its user:
    // asked once, never again while its window is disabled.
    StandIn product(work_ / "product.log", "prompt");
    ASSERT_TRUE(product.ready());
    SetupRun run(Product("NR3").wstring());
    HWND dialog = OpenAt(run);
    ASSERT_NE(dialog, nullptr);
    Press(dialog, 99);
    HWND box = run.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr) << "no message after waiting for the product";
    const std::map<std::string, std::wstring> texts = {
        {"US", L"Please close Norvalent Tool and click OK again."},
        {"DE", L"Bitte schlie\u00dfen Sie Norvalent Tool und klicken Sie erneut auf OK."},
        {"IT", L"Chiudere Norvalent Tool e fare clic di nuovo su OK."}};
    EXPECT_EQ(MessageBoxText(box), texts.at(UiLanguage()));
    Screenshot(box, "close-product-" + UiLanguage());
    Press(box, IDOK);
    for (int waited = 0; waited < 5000 && IsWindow(box); waited += 50) Sleep(50);
    EXPECT_FALSE(fs::exists(destination())) << "nothing is written while the product runs";
    EXPECT_EQ(product.Log(), "close 1\n");

    // Once it is closed, a second OK installs.
    product.Kill();
    for (int waited = 0; waited < 5000 && !IsWindowEnabled(GetDlgItem(dialog, 99)); waited += 50) Sleep(50);
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 99))) << "the dialog is back for another try";
    Press(dialog, 99);
    ExpectSuccess(run);
    EXPECT_EQ(ReadText(destination() / "Tool.exe"), "64-bit program");
}

}  // namespace
