#include "e2e_support.h"

#include "archive_writer.h"

#include <shlobj.h>

#include <fstream>

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? value : L"";
}

std::string UiLanguage() {
    std::wstring locale = Environment(L"LC_ALL");
    if (locale.rfind(L"de", 0) == 0) return "DE";
    if (locale.rfind(L"it", 0) == 0) return "IT";
    return "US";
}

const Texts& Expected() {
    static const Texts us = {L"Setup", L"Cancel", L"Destination folder", L"Put entry to Start Menu",
                             L"Broken file, please download again.", L"English", L"German",
                             L" has been successfully installed."};
    static const Texts de = {L"Installation", L"Abbruch", L"Zielpfad:", L"Programmgruppe erstellen",
                             L"Die Datei ist besch\u00e4digt, bitte nochmal herunterladen!", L"Englisch", L"Deutsch",
                             L" wurde erfolgreich installiert."};
    static const Texts it = {L"Installazione", L"Annulla", L"Destinazione", L"Aggiungi collegamento nel menu Programmi",
                             L"File danneggiato, esegui di nuovo il download.", L"English", L"German",
                             L" \u00e8 stato installato correttamente."};
    std::string language = UiLanguage();
    return language == "DE" ? de : language == "IT" ? it : us;
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void EndToEnd::SetUp() {
    // A run meant for another language must really be in it, or it would
    // pass in English without anyone noticing.
    std::wstring wanted = Environment(L"WINE_LC_ALL");
    ASSERT_TRUE(wanted.empty() || wanted == Environment(L"LC_ALL")) << "LC_ALL did not reach the Windows side";
    stub_ = Environment(L"SETUP_STUB");
    ASSERT_FALSE(stub_.empty()) << "SETUP_STUB names the setup.exe to test";
    work_ = fs::temp_directory_path() / ("setup-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::error_code ec;
    fs::remove_all(work_, ec);
    fs::create_directories(work_);
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

// What an install of the test product leaves outside its folder.
void EndToEnd::TearDown() {
    std::error_code ec;
    fs::remove_all(work_, ec);
    fs::remove_all(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Norvalent Tool", ec);
    fs::remove(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Norvalent Tool.lnk", ec);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE,
                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvalent Tool");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norvalent");
}

fs::path EndToEnd::Pack(const std::map<std::string, std::string>& files, const std::string& productCode,
                        const std::string& mainProgram, const std::string& windowClass, int level) {
    fs::path folder = work_ / "product";
    std::error_code ec;
    fs::remove_all(folder, ec);
    for (const auto& file : files) WriteText(folder / fs::u8path(file.first), file.second);
    PackOptions options;
    options.stub = stub_;
    options.folder = folder;
    options.output = work_ / "ToolSetup.exe";
    options.productCode = productCode;
    options.windowClass = windowClass;
    options.mainProgram = mainProgram;
    options.year = 2026, options.month = 12, options.day = 11;
    options.lzma.level = level;
    options.lzma.dictionarySize = 1 << 20;
    EXPECT_EQ(PackSetup(options), "");
    return options.output;
}

fs::path EndToEnd::WriteRawSetup(const std::vector<std::pair<std::string, std::string>>& entries,
                                 const std::string& productCode, int32_t checksumOffset) {
    std::string stubText = ReadText(stub_);
    Bytes stub(stubText.begin(), stubText.end());
    ArchiveHeaderFields header;
    header.productCode = productCode;
    header.date = PackageDateValue(2026, 12, 11);
    uint32_t checksum = 0;
    for (size_t k = 0; k < entries.size(); ++k) {
        uint64_t sum = 0;
        for (char c : entries[k].second) sum += static_cast<uint8_t>(c);
        checksum += EntryChecksum(static_cast<uint32_t>(k + 1), entries[k].first, entries[k].second.size(), sum);
    }
    header.checksum = checksum + static_cast<uint32_t>(checksumOffset);
    Bytes stream;
    AppendArchiveHeader(stream, header);
    for (const auto& entry : entries) {
        AppendStoredNumber(stream, static_cast<uint32_t>(entry.second.size()));
        AppendStoredText(stream, entry.first);
        AppendStoredData(stream, reinterpret_cast<const uint8_t*>(entry.second.data()), entry.second.size());
    }
    Bytes setup;
    LzmaSettings settings;
    settings.dictionarySize = 1 << 16;
    EXPECT_EQ(BuildSetupFile(stub, stream, settings, &setup), "");
    fs::path path = work_ / "RawSetup.exe";
    WriteText(path, std::string(setup.begin(), setup.end()));
    return path;
}

fs::path EndToEnd::MakeProduct(const std::string& productCode, const std::string& windowClass) {
    return Pack({{"32/Tool.exe", "32-bit program"},
                 {"64/Tool.exe", "64-bit program"},
                 {"FILE_ID.DIZ", "Norvalent Tool Version 3.1 (build 9)\r\nfor 32/64 bit Windows 10 and 11\r\n"},
                 {"Tool_US.LNG", "Language=English\r\n"},
                 {"Tool_DE.LNG", "Language=Deutsch (German)\r\n"},
                 {"Tool_IT.LNG", "Language=Italiano\r\n"},
                 {"Tool_FR.LNG", "Language=Fran\xe7" "ais\r\n"}},
                productCode, "Tool.exe", windowClass);
}

void EndToEnd::Screenshot(HWND window, const std::string& name) {
    std::wstring folder = Environment(L"SCREENSHOT_DIR");
    if (folder.empty()) return;
    // The window's own thread paints it when its queue runs dry: give it a moment.
    Sleep(300);
    std::wstring file = folder + L"\\" + std::wstring(name.begin(), name.end()) + L".bmp";
    EXPECT_TRUE(SaveScreenshot(window, file));
}
