// The scan handler: what the description and language files tell the dialog
// and the installer state.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/installer_state.h"
#include "passes/scan_handler.h"
#include "test_support.h"

namespace {

// A dialog stand-in that remembers what the scan did to it and was told.
struct FakeDialog {
    std::string title = "Setup";
    std::string productLabel, platformLabel;
    std::vector<std::pair<std::string, LanguageCode>> languages;
    ScanFindings findings = {};
    std::vector<ScanFinding> reports;
    ScanView view{this, &findings, GetTitle, SetTitle, SetProductLabel, SetPlatformLabel, Find, Add, Found};

    static FakeDialog* Of(void* context) { return static_cast<FakeDialog*>(context); }
    static void GetTitle(void* c, char* title, int capacity) {
        snprintf(title, static_cast<size_t>(capacity), "%s", Of(c)->title.c_str());
    }
    static void SetTitle(void* c, const char* title) { Of(c)->title = title; }
    static void SetProductLabel(void* c, const char* text) { Of(c)->productLabel = text; }
    static void SetPlatformLabel(void* c, const char* text) { Of(c)->platformLabel = text; }
    static int Find(void* c, LanguageCode code) {
        auto& items = Of(c)->languages;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].second == code) return static_cast<int>(i);
        return -1;
    }
    static void Add(void* c, const WideChar* name, LanguageCode code) { Of(c)->languages.emplace_back(Utf8(name), code); }
    static void Found(void* c, ScanFinding finding) { Of(c)->reports.push_back(finding); }
};

class ScanHandler : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(CreateInstallerState(), nullptr); }
    void TearDown() override { ReleaseInstallerState(); }

    // Offers one entry as the pass does: the start call, then the preview.
    void Entry(const std::string& name, const Bytes& bytes) {
        WideChar path[NAME_CAPACITY] = {};
        for (size_t i = 0; i < name.size(); ++i) path[i] = static_cast<uint8_t>(name[i]);
        EXPECT_EQ(OnScanEntry(path, nullptr, static_cast<uint32_t>(bytes.size()), &dialog.view), 0);
        if (bytes.empty()) return;
        size_t n = std::min<size_t>(bytes.size(), 1024);
        EXPECT_EQ(OnScanEntry(path, bytes.data(), static_cast<uint32_t>(n), &dialog.view), 0);
    }
    void Entry(const std::string& name, const std::string& text) { Entry(name, Bytes(text.begin(), text.end())); }

    FakeDialog dialog;
};

TEST_F(ScanHandler, TheDescriptionNamesProductVersionAndPlatform) {
    struct Case {
        const char* description;
        bool platformFolderFirst;
        const char* title;
        const char* label;
        const char* platform;
        const char* productName;
    } cases[] = {
        {"Foo Version 2.1 (build 7)\r\nfor 32/64 bit Windows 11\r\n", true, "Setup Foo 2.1", "Foo 2.1", "32/64 bit ", "Foo"},
        {"Foo 2.1 [beta]\r\n", false, "Setup Foo 2.1 ", "Foo 2.1 ", "", "Foo 2.1"},
        {"Foo version 2.1\n", false, "Setup Foo version 2.1 ", "Foo version 2.1 ", "", "Foo version 2.1"},
        {"Foo  \r\n", false, "Setup Foo  ", "Foo  ", "", "Foo "},
        {"(nothing)\r\n", false, "Setup  ", " ", "", ""},
        {"Foo Version 1\r\nFOR Windows\r\n", true, "Setup Foo 1", "Foo 1", "", "Foo"},
        {"Foo Version 1\r\nfor all platforms\r\n", true, "Setup Foo 1", "Foo 1", "", "Foo"},
        {"Foo Version 1\r\nfor 32/64 bit Windows 11\r\n", false, "Setup Foo 1", "Foo 1", "", "Foo"},
        {"A very long product name of more than thirty-one Version 3\r\n", false,
         "Setup A very long product name of more than thirty-one 3", "A very long product name of more than thirty-one 3",
         "", "A very long product name of mor"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TearDown();
        SetUp();
        dialog = FakeDialog();
        dialog.view.context = &dialog;
        dialog.view.findings = &dialog.findings;
        if (c.platformFolderFirst) Entry("32\\x.dll", "x");
        Entry("file_id.diz", c.description);
        EXPECT_EQ(dialog.title, c.title);
        EXPECT_EQ(dialog.productLabel, c.label);
        EXPECT_EQ(dialog.platformLabel, c.platform);
        EXPECT_STREQ(dialog.findings.productName, c.productName);
        EXPECT_EQ(std::count(dialog.reports.begin(), dialog.reports.end(), FOUND_PRODUCT_NAME), c.productName[0] ? 1 : 0);
    }
}

TEST_F(ScanHandler, OnlyTheRootDescriptionCounts) {
    Entry("docs\\FILE_ID.DIZ", "Other Version 9\r\n");
    EXPECT_EQ(dialog.title, "Setup");
    Entry("FILE_ID.DIZ", "Foo Version 1\r\n");
    Entry("FILE_ID.DIZ", "Bar Version 2\r\n");
    EXPECT_EQ(dialog.title, "Setup Foo 1 Bar 2") << "a second description extends the title again";
    EXPECT_STREQ(dialog.findings.productName, "Foo") << "the first description names the product";
}

TEST_F(ScanHandler, PlatformFolders) {
    struct Case {
        const char* path;
        uint8_t bits;
    } cases[] = {{"32\\bin\\x.dll", PLATFORM_FOLDER_32}, {"64/x.dll", PLATFORM_FOLDER_64}, {"320\\x.dll", 0},
                 {"x\\32\\y.dll", 0}, {"3\\x", 0}, {"32", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        dialog.findings.platformFolders = 0;
        dialog.reports.clear();
        Entry(c.path, "data");
        Entry(c.path, "again");
        EXPECT_EQ(dialog.findings.platformFolders, c.bits);
        EXPECT_EQ(dialog.reports.size(), c.bits ? 1u : 0u) << "a folder is reported when it is new";
    }
    dialog.findings.platformFolders = 0;
    Entry("32\\empty.dll", Bytes());
    EXPECT_EQ(dialog.findings.platformFolders, 0) << "an empty entry is never looked at";
}

Bytes Utf16(const std::u16string& text) {
    Bytes bytes{0xFF, 0xFE};
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

TEST_F(ScanHandler, LanguageFilesAddTheirLanguagesOnce) {
    Entry("Prog_FR.LNG", Utf16(u"[x]\r\nLanguage=Fran\u00E7ais (French)\r\n"));
    Entry("Prog_it.LNG", "Language=Italiano\r\n");
    Entry("Prog_IT.LNG", "Language=Second\r\n");
    Entry("Prog_ES.LNG", "Language=Espa\xF1ol   \r\n");
    Entry("Prog_PT.LNG", "Language:   \r\n");
    Entry("Prog_NL.LNG", "Languages are not named here\r\n");
    Entry("Prog_SV.LNG", "Language=(none)\r\n");
    Entry("Prog_XX.LNG", "language=lower\r\n");
    std::vector<std::pair<std::string, LanguageCode>> expected = {
        {"Fran\xC3\xA7" "ais", 0x5246}, {"Italiano", 0x5449}, {"Espa\xC3\xB1ol", 0x5345}, {"", 0x5450}, {" are not named here", 0x4C4E}};
    EXPECT_EQ(dialog.languages, expected);
}

TEST_F(ScanHandler, TheBuiltInLanguagesAreNeverAddedAgain) {
    dialog.languages = {{"English", 0x5355}, {"German", 0x4544}};
    Entry("Prog_US.LNG", "Language=American\r\n");
    Entry("Prog_de.LNG", "Language=Deutsch\r\n");
    EXPECT_EQ(dialog.languages.size(), 2u);
}

TEST_F(ScanHandler, TheFirstLanguageFileNamesTheStem) {
    struct Case {
        const char* path;
        const char* base;
    } cases[] = {
        {"Prog_DE.LNG", "Prog"},
        {"32\\LongProductName_With_More_Text_FR.LNG", "LongProductName_With_Mor"},
        {"sub/Ab_DE.LNG", "Ab"},
        {"X_DE.LNG", "X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        dialog.findings.languageFileBase[0] = 0;
        dialog.reports.clear();
        Entry(c.path, "nothing");
        Entry("Later_IT.LNG", "nothing");
        EXPECT_EQ(Utf8(dialog.findings.languageFileBase), c.base);
        EXPECT_EQ(std::count(dialog.reports.begin(), dialog.reports.end(), FOUND_LANGUAGE_FILE_BASE), 1)
            << "the first stem only";
    }
}

TEST_F(ScanHandler, ShortNamesAndEmptyEntriesAreNotRead) {
    Entry("_X.LNG", "Language=Short\r\n");  // six characters: too short to be tested
    Entry("Prog_FR.LNG", Bytes());
    EXPECT_TRUE(dialog.languages.empty());
    EXPECT_EQ(dialog.findings.languageFileBase[0], 0);
}

}  // namespace
