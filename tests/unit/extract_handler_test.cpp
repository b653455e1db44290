// The extraction filter: which entries are installed, where, and what it
// learns about the uninstaller and the main program.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "core/installer_state.h"
#include "passes/extract_handler.h"
#include "test_support.h"

namespace {

// A dialog stand-in: the language checks and the status line.
struct FakeDialog {
    bool hasList = true;
    std::map<LanguageCode, bool> checks;  // code -> checked
    std::vector<LanguageChoice> choices;  // the list as the install sees it
    std::string status;

    void Snapshot(InstallContext* context) {
        choices.clear();
        for (const auto& check : checks) choices.push_back(LanguageChoice{check.first, check.second});
        context->languages = hasList ? choices.data() : nullptr;
        context->languageCount = hasList ? static_cast<int>(choices.size()) : 0;
    }
    static void ShowStatus(void* dialog, const WideChar* path) { static_cast<FakeDialog*>(dialog)->status = Utf8(path); }
};

const ExtractView kView = {FakeDialog::ShowStatus};

void SetWide(WideChar* destination, const std::string& text) {
    size_t i = 0;
    for (; i < text.size(); ++i) destination[i] = static_cast<uint8_t>(text[i]);
    destination[i] = 0;
}

class ExtractFilter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(CreateInstallerState(), nullptr);
        context = InstallContext();
        SetWide(context.languageFileBase, "Prog");
        context.dialog = &dialog;
        context.view = &kView;
        SetWide(context.destinationFolder, Utf8(Wide(dir.path()).c_str()));
    }
    void TearDown() override { ReleaseInstallerState(); }

    // Offers an entry; returns where it would be written, or "" when dropped.
    std::string Offer(const std::string& name) {
        WideChar path[NAME_CAPACITY];
        SetWide(path, name);
        dialog.Snapshot(&context);
        int32_t result = OnExtractEntry(path, nullptr, 1, &context);
        EXPECT_EQ(result != 0, path[0] != 0) << name;
        if (result == 0) return "";
        std::string target = Utf8(path);
        std::string folder = Utf8(context.destinationFolder);
        EXPECT_EQ(target.compare(0, folder.size(), folder), 0);
        EXPECT_EQ(dialog.status, target);
        return target.substr(folder.size() + 1);
    }

    TempDir dir;
    FakeDialog dialog;
    InstallContext context;
};

TEST_F(ExtractFilter, ThePlatformFolderAndFlattening) {
    struct Case {
        const char* platform;
        const char* entry;
        const char* installedAs;
    } cases[] = {
        {"64", "64\\App.exe", "App.exe"},     {"64", "32\\App.exe", ""},
        {"64", "Data\\Notes.txt", ""},        {"64", "64\\Sub\\Lib.dll", ""},
        {"64", "Readme.txt", "Readme.txt"},   {"64", "64/App.exe", "App.exe"},
        {"32", "32\\App.exe", "App.exe"},     {"32", "64\\App.exe", ""},
        {"", "Data\\Notes.txt", "Notes.txt"}, {"", "Data\\Sub\\Lib.dll", "Lib.dll"},
        {"", "64\\App.exe", "App.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.platform) + " " + c.entry);
        SetWide(context.platformFolder, c.platform);
        EXPECT_EQ(Offer(c.entry), c.installedAs);
    }
}

TEST_F(ExtractFilter, LanguageFilesFollowTheirCheckBoxes) {
    struct Case {
        const char* entry;
        bool itChecked;
        bool listed;  // whether the list has an item IT
        const char* installedAs;
    } cases[] = {
        {"Prog_IT.LNG", false, true, ""},
        {"Prog_IT.CHM", false, true, ""},
        {"Prog_IT.LNG", true, true, "Prog_IT.LNG"},
        {"Prog_IT.LNG", false, false, "Prog_IT.LNG"},
        {"Prog_it.lng", false, true, ""},
        {"Abcd_IT.TXT", false, true, ""},          // only the underscore's place counts
        {"Prog_Setup.dll", false, true, "Prog_Setup.dll"},  // five letters: no language
        {"Pro_IT.LNG", false, true, "Pro_IT.LNG"},
        {"Prog_ITA.LNG", false, true, "Prog_ITA.LNG"},      // three letters match no item
        {"Data\\Prog_IT.LNG", false, true, ""},
        {"Data\\Sub\\Prog_IT.LNG", false, true, "Prog_IT.LNG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        dialog.checks.clear();
        if (c.listed) dialog.checks[0x5449] = c.itChecked;
        EXPECT_EQ(Offer(c.entry), c.installedAs);
    }
    dialog.hasList = false;
    EXPECT_EQ(Offer("Prog_IT.LNG"), "Prog_IT.LNG") << "without a list every language is installed";
}

TEST_F(ExtractFilter, NamesThatBreakTheNameRuleNeverReachTheDisk) {
    for (const char* entry : {"CON", "Data\\nul.txt", "a:b.txt", "q?.txt", "trail.", "sp ", "64\\..", "x\\."}) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(Offer(entry), "");
    }
    EXPECT_EQ(Offer("Data\\NUL_x.txt"), "NUL_x.txt");
}

TEST_F(ExtractFilter, TheUninstallerAndTheMainProgram) {
    SetWide(context.platformFolder, "64");
    for (const char* entry : {"32\\nDropped.exe", "UNINST.EXE", "Tool.exe", "nTool.dll", "64\\nTool.exe",
                              "nOther.EXE", "UnInst.exe"})
        Offer(entry);
    EXPECT_EQ(Utf8(context.uninstaller), "UnInst.exe");
    EXPECT_EQ(Utf8(context.mainProgram), "nTool.exe");

    InstallContext fresh = context;
    fresh.mainProgram[0] = 0;
    context = fresh;
    Offer("n.exe");
    EXPECT_EQ(Utf8(context.mainProgram), "n.exe") << "five characters are enough";
    context.mainProgram[0] = 0;
    Offer("nAVeryLongProgramNameThatGoesOnAndOn.exe");
    EXPECT_EQ(Utf8(context.mainProgram), "nAVeryLongProgramNameThatGoesOn") << "cut to 31 characters";
}

TEST_F(ExtractFilter, AnExistingFileStaysUntilTheNewOneIsWholeAndThePreviewCallChangesNothing) {
    WriteBytes(dir / "App.exe", {1, 2, 3});
    EXPECT_EQ(Offer("App.exe"), "App.exe");
    EXPECT_EQ(ReadBytes(dir / "App.exe"), (Bytes{1, 2, 3})) << "the old file is replaced only by a whole new one";

    WideChar path[NAME_CAPACITY];
    SetWide(path, "Prog_IT.LNG");
    dialog.checks[0x5449] = false;
    dialog.Snapshot(&context);
    uint8_t preview[1] = {7};
    EXPECT_EQ(OnExtractEntry(path, preview, 1, &context), 0);
    EXPECT_EQ(Utf8(path), "Prog_IT.LNG");
}

}  // namespace
