#include "setup_extract.h"

#include <algorithm>
#include <map>
#include <memory>

#include "passes/extract_handler.h"
#include "payload/archive_pass.h"
#include "setup_listing.h"
#include "support/bounded_text.h"
#include "support/language_code.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

// Letter case as Windows folds file names, for the letters the installer's
// names can hold (Windows-1252).
char16_t FoldCase(char16_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    switch (c) {
        case 0x0153: return 0x0152;
        case 0x0161: return 0x0160;
        case 0x017E: return 0x017D;
        case 0x00FF: return 0x0178;
    }
    return c;
}

std::u16string Folded(const WideChar* name) {
    std::u16string folded;
    for (; *name; ++name) folded += FoldCase(static_cast<char16_t>(*name));
    return folded;
}

void NoStatus(void*, const WideChar*) {}
const ExtractView kNoView = {NoStatus};

struct Extraction {
    InstallContext context;
    ExtractReport* report;
    bool dryRun;
    std::map<std::u16string, std::basic_string<WideChar>> written;  // folded name -> the path written
    std::vector<std::string> names;                                  // the entries, UTF-8
};

// The installer's filter, and what Windows does with names that differ only
// in letter case: one file, the later one.
int32_t ExtractEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    Extraction* run = static_cast<Extraction*>(userData);
    if (preview) return 0;
    std::string entry = WideToUtf8(pathBuffer);
    if (OnExtractEntry(pathBuffer, nullptr, size, &run->context) == 0) {
        run->report->skipped.push_back(entry);
        return 0;
    }
    const WideChar* name = pathBuffer + FileNameOffset(pathBuffer);
    auto placed = run->written.emplace(Folded(name), pathBuffer);
    if (!placed.second) {
        if (!run->dryRun && placed.first->second != pathBuffer) DeleteFileAt(placed.first->second.c_str());
        placed.first->second = pathBuffer;
        std::u16string folded = Folded(name);
        auto& files = run->report->files;
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [&](const ExtractedFile& f) {
                                       std::basic_string<WideChar> wide = WidePath(fs::u8path(f.installedAs));
                                       return Folded(wide.c_str()) == folded;
                                   }),
                    files.end());
    }
    run->report->files.push_back(ExtractedFile{entry, WideToUtf8(name), size});
    return run->dryRun ? 0 : 1;
}

std::string CodeText(LanguageCode code) {
    char letters[5];
    LanguageCodeText(code, letters);
    return letters;
}

// The languages as the installer's list holds them, checked as asked.
std::string ChooseLanguages(const ExtractRequest& request, const SetupListing& listing,
                            std::vector<LanguageChoice>* choices, ExtractReport* report) {
    std::vector<LanguageCode> codes = {LANGUAGE_US, LANGUAGE_DE};
    for (const ListedLanguage& language : listing.languages) codes.push_back(language.code);
    std::vector<bool> asked(request.languages.size(), false);
    for (LanguageCode code : codes) {
        bool checked = request.allLanguages;
        for (size_t i = 0; i < request.languages.size(); ++i)
            if (PackLanguageCode(request.languages[i].c_str(), static_cast<int>(request.languages[i].size())) == code) {
                checked = true;
                asked[i] = true;
            }
        choices->push_back(LanguageChoice{code, checked});
        (checked ? report->checked : report->unchecked).push_back(CodeText(code));
    }
    for (size_t i = 0; i < asked.size(); ++i)
        if (!asked[i]) {
            std::string known;
            for (LanguageCode code : codes) known += (known.empty() ? "" : ", ") + CodeText(code);
            return "the package has no language \"" + request.languages[i] + "\" (it has " + known + ")";
        }
    return std::string();
}

bool EmptyFolder(const fs::path& folder, std::string* error) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) return true;
    if (!fs::is_directory(folder, ec)) {
        *error = folder.u8string() + " is not a folder";
        return false;
    }
    if (!fs::is_empty(folder, ec)) {
        *error = folder.u8string() + " is not empty; give a new or empty folder";
        return false;
    }
    return true;
}

}  // namespace

std::string ExtractSetup(const ExtractRequest& request, ExtractReport* report) {
    std::string error;
    if (!request.dryRun && !EmptyFolder(request.folder, &error)) return error;
    SetupListing listing = ReadSetupListing(request.setup);
    if (listing.result != 0)
        return "the installer would refuse " + request.setup.u8string() + ": " + DescribePassResult(listing);

    std::unique_ptr<Extraction> run(new Extraction());
    run->report = report;
    run->dryRun = request.dryRun;
    InstallContext& context = run->context;
    context.view = &kNoView;
    report->platform = request.platform.empty() ? listing.platformFolder
                       : request.platform == "none" ? std::string()
                                                    : request.platform;
    for (size_t i = 0; i < report->platform.size() && i < 3; ++i) context.platformFolder[i] = report->platform[i];
    CopyBounded(listing.findings.languageFileBase, context.languageFileBase, 32);
    std::vector<LanguageChoice> choices;
    error = ChooseLanguages(request, listing, &choices, report);
    if (!error.empty()) return error;
    context.languages = choices.data();
    context.languageCount = static_cast<int>(choices.size());

    fs::path partial = request.folder;
    partial += ".partial";
    std::error_code ec;
    if (!request.dryRun) {
        fs::remove_all(partial, ec);
        fs::create_directories(partial, ec);
        if (ec) return "cannot create " + partial.u8string() + ": " + ec.message();
    }
    std::basic_string<WideChar> destination = WidePath(request.dryRun ? fs::path("X:") : fs::absolute(partial));
    if (destination.size() >= 1000) return "the folder's path is too long: " + request.folder.u8string();
    CopyBounded(destination.c_str(), context.destinationFolder, 1024);

    FileHandle file = FileOpenRead(WidePath(request.setup).c_str());
    if (file == NO_FILE) return "cannot open " + request.setup.u8string();
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader());
    int32_t result = RunPass(reader.get(), file, ExtractEntry, run.get(), nullptr);
    FileClose(file);
    if (result != 0) {
        fs::remove_all(partial, ec);
        SetupListing failed = listing;
        failed.result = result;
        return "extracting failed: " +
               (result > 0 ? "Windows error " + std::to_string(result) : DescribePassResult(failed));
    }
    if (request.dryRun) return std::string();
    fs::remove(request.folder, ec);  // new or empty, as checked
    fs::rename(partial, request.folder, ec);
    if (ec) {
        fs::remove_all(partial, ec);
        return "cannot write " + request.folder.u8string() + ": " + ec.message();
    }
    return std::string();
}
