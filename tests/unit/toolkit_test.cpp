// The package maker's tools on a setup file: the listing as JSON, and
// extracting what the installer would install.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "setup_extract.h"
#include "setup_listing.h"
#include "test_support.h"

namespace {

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

class Toolkit : public ::testing::Test {
protected:
    // A product with both platforms, four languages and a pair of names that
    // differ only in letter case.
    fs::path Product(int32_t checksumOffset = 0) {
        TestArchive archive;
        archive.header.productCode = "NTK";
        archive.header.mainProgram = "Tool.exe";
        archive.header.date = PackageDateValue(2026, 12, 11);
        archive.Add("32\\Tool.exe", Text("32-bit"))
            .Add("64\\Tool.exe", Text("64-bit"))
            .Add("FILE_ID.DIZ", Text("Tool Version 1\r\nfor 32/64 bit Windows\r\n"))
            .Add("Tool_US.LNG", Text("Language=English\r\n"))
            .Add("Tool_DE.LNG", Text("Language=Deutsch\r\n"))
            .Add("Tool_IT.LNG", Text("Language=Italiano\r\n"))
            .Add("Tool_IT.CHM", Text("Aiuto"))
            .Add("Data\\readme.txt", Text("first"))
            .Add("README.TXT", Text("second"));
        archive.checksumOffset = checksumOffset;
        fs::path setup = dir / "Setup.exe";
        WriteBytes(setup, MakeSetup(archive.Stream()));
        return setup;
    }

    std::vector<std::string> Files(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

TEST_F(Toolkit, TheJsonListingSaysWhatThePlainListingSays) {
    fs::path setup = Product();
    SetupListing listing = ReadSetupListing(setup);
    ASSERT_EQ(listing.result, 0);
    nlohmann::json document = nlohmann::json::parse(ListingJson(listing, "Setup.exe"));
    EXPECT_EQ(document["format"], 1);
    EXPECT_EQ(document["file"]["size"], listing.fileSize);
    EXPECT_EQ(document["file"]["authenticode"], false);
    EXPECT_EQ(document["payload"]["signatureOffset"], listing.payloadOffset - 4);
    EXPECT_EQ(document["payload"]["unpackedSize"], listing.unpackedSize);
    EXPECT_EQ(document["header"]["productCode"], "NTK");
    EXPECT_EQ(document["header"]["mainProgram"], "Tool.exe");
    EXPECT_EQ(document["header"]["date"], "2026-12-11");
    EXPECT_EQ(document["platformFolder"], "64");
    ASSERT_EQ(document["entries"].size(), listing.entries.size());
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        SCOPED_TRACE(listing.entries[i].name);
        EXPECT_EQ(document["entries"][i]["name"], listing.entries[i].name);
        EXPECT_EQ(document["entries"][i]["size"], listing.entries[i].size);
    }
    auto entry = [&](const std::string& name) {
        for (const auto& e : document["entries"])
            if (e["name"] == name) return e;
        return nlohmann::json();
    };
    EXPECT_EQ(entry("32\\Tool.exe")["platform"], "32");
    EXPECT_EQ(entry("32\\Tool.exe")["installedByDefault"], false);
    EXPECT_EQ(entry("64\\Tool.exe")["installedByDefault"], true);
    EXPECT_EQ(entry("Tool_IT.CHM")["language"], "IT");
    EXPECT_TRUE(entry("FILE_ID.DIZ")["language"].is_null());
    EXPECT_EQ(entry("Data\\readme.txt")["installedByDefault"], false) << "beside platform folders";
    EXPECT_EQ(document["verdict"]["ok"], true);
    EXPECT_EQ(document["verdict"]["checksum"], listing.checksum);

    SetupListing broken = ReadSetupListing(Product(1));
    nlohmann::json refused = nlohmann::json::parse(ListingJson(broken, "Setup.exe"));
    EXPECT_EQ(refused["verdict"]["ok"], false);
    EXPECT_EQ(refused["verdict"]["result"], -1);
}

TEST_F(Toolkit, ExtractWritesWhatTheInstallerWouldForEachChoice) {
    fs::path setup = Product();
    struct Case {
        const char* what;
        bool all;
        std::vector<std::string> languages;
        std::string platform;
        std::vector<std::string> files;
    } cases[] = {
        {"every language, the installer's platform", true, {}, "",
         {"FILE_ID.DIZ", "README.TXT", "Tool.exe", "Tool_DE.LNG", "Tool_IT.CHM", "Tool_IT.LNG", "Tool_US.LNG"}},
        {"German only", false, {"DE"}, "", {"FILE_ID.DIZ", "README.TXT", "Tool.exe", "Tool_DE.LNG"}},
        {"the 32-bit set", true, {}, "32",
         {"FILE_ID.DIZ", "README.TXT", "Tool.exe", "Tool_DE.LNG", "Tool_IT.CHM", "Tool_IT.LNG", "Tool_US.LNG"}},
        {"no platform filter: flattened, the later of two names", false, {"IT"}, "none",
         {"FILE_ID.DIZ", "README.TXT", "Tool.exe", "Tool_IT.CHM", "Tool_IT.LNG"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExtractRequest request;
        request.setup = setup;
        request.folder = dir / ("out" + std::to_string(n++));
        request.allLanguages = c.all;
        request.languages = c.languages;
        request.platform = c.platform;
        ExtractReport report;
        ASSERT_EQ(ExtractSetup(request, &report), "");
        EXPECT_EQ(Files(request.folder), c.files);
        FileTime noon;
        ASSERT_TRUE(LocalNoonToFileTime(2026, 12, 11, &noon));
        EXPECT_EQ(LastWriteTicks(request.folder / "FILE_ID.DIZ"), Ticks(noon)) << "the package's time";
        if (c.platform == "32") {
            EXPECT_EQ(ReadBytes(request.folder / "Tool.exe"), Text("32-bit"));
        } else {
            EXPECT_EQ(ReadBytes(request.folder / "Tool.exe"), Text("64-bit"));
        }
        if (c.platform == "none") {
            EXPECT_EQ(ReadBytes(request.folder / "README.TXT"), Text("second")) << "the later file stays";
        }
    }
}

TEST_F(Toolkit, ExtractRefusesABrokenPackageAndLeavesTheFolderAlone) {
    fs::path setup = Product(1);
    fs::create_directories(dir / "empty");
    for (const char* folder : {"new", "empty"}) {
        SCOPED_TRACE(folder);
        ExtractRequest request;
        request.setup = setup;
        request.folder = dir / folder;
        ExtractReport report;
        EXPECT_NE(ExtractSetup(request, &report).find("the installer would refuse"), std::string::npos);
        EXPECT_EQ(fs::exists(request.folder), std::string(folder) == "empty");
        EXPECT_FALSE(fs::exists(dir / (std::string(folder) + ".partial")));
    }
    WriteBytes(dir / "full" / "mine.txt", {1});
    ExtractRequest request;
    request.setup = Product();
    request.folder = dir / "full";
    ExtractReport report;
    EXPECT_NE(ExtractSetup(request, &report).find("is not empty"), std::string::npos);
    EXPECT_EQ(Files(dir / "full"), std::vector<std::string>{"mine.txt"});
}

}  // namespace
