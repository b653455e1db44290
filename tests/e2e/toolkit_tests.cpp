// The package maker's tools held to the installer: what `mksetup extract`
// writes is what a real install writes, and a setup signed after packing
// still checks and installs.
#include "e2e_support.h"

namespace {

// The native mksetup of the build machine, run as a Unix program; the
// command's output, and whether it ended with 0.
std::string Mksetup(const std::string& arguments, bool* ok = nullptr) {
    std::wstring program = Environment(L"NATIVE_MKSETUP");
    std::string output = RunUnix("\\\"" + std::string(program.begin(), program.end()) + "\\\" " + arguments +
                                 "; echo \\\"exit $?\\\"");
    if (ok) *ok = output.find("exit 0") != std::string::npos;
    return output;
}

std::string Quoted(const fs::path& path) { return "\\\"" + UnixPath(path.wstring()) + "\\\""; }

struct FileFacts {
    std::string content;
    uint64_t lastWrite;
    bool operator==(const FileFacts& other) const { return content == other.content && lastWrite == other.lastWrite; }
};

std::map<std::string, FileFacts> Folder(const fs::path& folder) {
    std::map<std::string, FileFacts> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(entry.path().c_str(), GetFileExInfoStandard, &data);
        uint64_t time = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
        files[entry.path().filename().u8string()] = FileFacts{ReadText(entry.path()), time};
    }
    return files;
}

class Toolkit : public EndToEnd {
protected:
    void SetUp() override {
        EndToEnd::SetUp();
        if (Environment(L"NATIVE_MKSETUP").empty() || UnixPath(L"C:\\").empty())
            GTEST_SKIP() << "no native mksetup to run (NATIVE_MKSETUP)";
    }
};

TEST_F(Toolkit, ExtractWritesWhatTheInstallerInstalls) {
    fs::path setup = MakeProduct("NK1");
    struct Case {
        const char* languages;          // for mksetup extract
        std::vector<LPARAM> unchecked;  // in the dialog
    } cases[] = {
        {"all", {}},
        {"de,fr", {0x5355, 0x5449}},
        {"us", {0x4544, 0x5449, 0x5246}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.languages);
        fs::path installed = work_ / (std::string("installed-") + c.languages);
        fs::path extracted = work_ / (std::string("extracted-") + c.languages);
        SetupRun run(setup.wstring());
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        SetControlText(dialog, 1032, installed.wstring());
        std::vector<ListItem> items = ListItems(dialog, 1010, run.processId());
        for (size_t i = 0; i < items.size(); ++i)
            for (LPARAM code : c.unchecked)
                if (items[i].code == code) SetListItemChecked(dialog, 1010, run.processId(), static_cast<int>(i), false);
        Press(dialog, 99);
        HWND box = run.WaitForMessageBox(30000);
        ASSERT_NE(box, nullptr);
        Press(box, IDOK);
        EXPECT_EQ(run.WaitForExit(), 0);

        bool ok = false;
        std::string said = Mksetup("extract " + Quoted(setup) + " " + Quoted(extracted) + " --languages " +
                                       c.languages,
                                   &ok);
        ASSERT_TRUE(ok) << said;
        std::map<std::string, FileFacts> a = Folder(installed), b = Folder(extracted);
        std::vector<std::string> namesA, namesB;
        for (const auto& f : a) namesA.push_back(f.first);
        for (const auto& f : b) namesB.push_back(f.first);
        EXPECT_EQ(namesB, namesA);
        EXPECT_TRUE(a == b) << "the same bytes and times";
    }
}

TEST_F(Toolkit, ASetupSignedAfterPackingChecksAndInstalls) {
    fs::path setup = MakeProduct("NK2");
    fs::path key = work_ / "key.pem", certificate = work_ / "certificate.pem", signedSetup = work_ / "Signed.exe";
    std::string made = RunUnix("openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj /CN=Throwaway -keyout " +
                               Quoted(key) + " -out " + Quoted(certificate) + "; echo \\\"exit $?\\\"");
    ASSERT_NE(made.find("exit 0"), std::string::npos) << made;
    std::string signedBy = RunUnix("osslsigncode sign -certs " + Quoted(certificate) + " -key " + Quoted(key) +
                                   " -n \\\"Norvalent Tool\\\" -in " + Quoted(setup) + " -out " + Quoted(signedSetup) +
                                   "; echo \\\"exit $?\\\"");
    ASSERT_NE(signedBy.find("exit 0"), std::string::npos) << signedBy;
    std::string verified = RunUnix("osslsigncode verify -CAfile " + Quoted(certificate) + " -in " + Quoted(signedSetup) +
                                   "; echo \\\"exit $?\\\"");
    EXPECT_NE(verified.find("exit 0"), std::string::npos) << verified;
    EXPECT_NE(verified.find("Signature verification: ok"), std::string::npos) << verified;

    bool ok = false;
    std::string checked = Mksetup("verify " + Quoted(signedSetup), &ok);
    EXPECT_TRUE(ok) << checked;
    std::string signedListing = Mksetup("list " + Quoted(signedSetup));
    EXPECT_NE(signedListing.find("Authenticode:   signed"), std::string::npos) << signedListing;
    std::string plainListing = Mksetup("list " + Quoted(setup));
    EXPECT_NE(plainListing.find("Authenticode:   not signed"), std::string::npos) << plainListing;

    fs::path installed = work_ / "Signed Install";
    SetupRun run(signedSetup.wstring());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "the signed setup did not pass its check";
    SetControlText(dialog, 1032, installed.wstring());
    Press(dialog, 99);
    HWND box = run.WaitForMessageBox(30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), std::wstring(L"Norvalent Tool") + Expected().installed);
    Press(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_EQ(ReadText(installed / "Tool.exe"), "64-bit program");
}

}  // namespace
