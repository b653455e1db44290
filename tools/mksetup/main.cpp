// mksetup: packs a product folder into a setup file; lists, verifies and
// extracts one.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include <CLI/CLI.hpp>

#include "pack.h"
#include "payload/archive_reader.h"
#include "setup_extract.h"
#include "setup_listing.h"

#ifndef MKSETUP_VERSION
#define MKSETUP_VERSION "unknown"
#endif

namespace {

const char kVersion[] = "mksetup " MKSETUP_VERSION;

const char kPackFooter[] =
    "Packs every file below FOLDER into SETUP: the installer stub STUB, then the\n"
    "LZMA-compressed archive. Entry names are the files' paths relative to FOLDER,\n"
    "with backslashes, in Windows-1252. Links are followed; the output is never\n"
    "packed. Names that Windows would not keep as written are refused, and so are\n"
    "two files that the installer would write to one (it puts every file straight\n"
    "into its folder); warnings name files that are packed but never installed.\n"
    "\n"
    "Default order: the smallest non-empty file of the top folders 32 and 64,\n"
    "FILE_ID.DIZ, the .LNG files, then the rest, each group by name. The same\n"
    "inputs give the same file. See docs/mksetup.md and docs/packaging.md.\n";

int Fail(const std::string& message) {
    fprintf(stderr, "mksetup: %s\n", message.c_str());
    return 1;
}

bool ParseDate(const std::string& text, int* year, int* month, int* day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    *year = atoi(text.substr(0, 4).c_str());
    *month = atoi(text.substr(5, 2).c_str());
    *day = atoi(text.substr(8, 2).c_str());
    return true;
}

bool ParseSize(const std::string& text, uint32_t* size) {
    char* end = nullptr;
    unsigned long long value = strtoull(text.c_str(), &end, 10);
    if (end == text.c_str()) return false;
    std::string unit(end);
    if (unit == "K" || unit == "k" || unit == "KiB") value <<= 10;
    else if (unit == "M" || unit == "m" || unit == "MiB") value <<= 20;
    else if (!unit.empty()) return false;
    if (value < (64u << 10) || value > (1024ull << 20)) return false;
    *size = static_cast<uint32_t>(value);
    return true;
}

struct PackArguments {
    std::string stub, output, folder, productCode, windowClass, mainProgram, date, order, level = "9",
        dictionary = "16M";
    bool quiet = false;
};

int Pack(const PackArguments& a) {
    PackOptions options;
    options.stub = std::filesystem::u8path(a.stub);
    options.output = std::filesystem::u8path(a.output);
    options.folder = std::filesystem::u8path(a.folder);
    options.productCode = a.productCode;
    options.windowClass = a.windowClass;
    options.mainProgram = a.mainProgram;
    if (!a.order.empty()) options.orderFile = std::filesystem::u8path(a.order);
    if (!ParseDate(a.date, &options.year, &options.month, &options.day))
        throw CLI::ValidationError("--date", "takes YYYY-MM-DD, not \"" + a.date + "\"");
    if (a.level.size() != 1 || a.level[0] < '0' || a.level[0] > '9')
        throw CLI::ValidationError("--level", "takes a number from 0 to 9, not \"" + a.level + "\"");
    options.lzma.level = a.level[0] - '0';
    if (!ParseSize(a.dictionary, &options.lzma.dictionarySize))
        throw CLI::ValidationError("--dictionary", "takes a size from 64K to 1024M, not \"" + a.dictionary + "\"");
    options.progress = !a.quiet && isatty(2);
    std::vector<std::string> warnings;
    std::string error = PackSetup(options, &warnings);
    if (!error.empty()) return Fail(error);
    for (const std::string& warning : warnings) fprintf(stderr, "mksetup: warning: %s\n", warning.c_str());
    return 0;
}

int List(const std::string& setup, bool json) {
    SetupListing listing = ReadSetupListing(std::filesystem::u8path(setup));
    if (json) {
        fputs(ListingJson(listing, setup).c_str(), stdout);
        return listing.result == 0 ? 0 : 1;
    }
    if (listing.result > 0) return Fail(setup + ": " + DescribePassResult(listing));
    printf("Setup file:     %s (%llu bytes)\n", setup.c_str(), static_cast<unsigned long long>(listing.fileSize));
    printf("Authenticode:   %s\n", listing.authenticode ? "signed" : "not signed");
    if (listing.payloadOffset) printf("Signature at:   %u\n", listing.payloadOffset - 4);
    if (listing.streamHeaderRead) {
        const uint8_t* p = listing.properties;
        uint32_t dictionary = p[1] | (p[2] << 8) | (p[3] << 16) | (uint32_t{p[4]} << 24);
        printf("LZMA:           lc %d, lp %d, pb %d, dictionary %u bytes\n", p[0] % 9, p[0] / 9 % 5, p[0] / 45,
               dictionary);
        printf("Unpacked size:  %u bytes\n", listing.unpackedSize);
    }
    if (listing.headerParsed) {
        printf("Product code:   %s\n", listing.productCode.c_str());
        printf("Window class:   %s\n", listing.windowClass.c_str());
        printf("Main program:   %s\n", listing.mainProgram.c_str());
        printf("Package date:   %s (value %u)\n", PackageDateText(listing.packageDate).c_str(), listing.packageDate);
        printf("Entries:        %zu\n\n", listing.entries.size());
        printf("%12s  %s\n", "size", "name");
        for (const ListedEntry& entry : listing.entries) printf("%12u  %s\n", entry.size, entry.name.c_str());
        printf("\nChecksum:       %u, announced %u\n", listing.checksum, listing.announcedChecksum);
    }
    printf("Verdict:        %s\n", DescribePassResult(listing).c_str());
    return listing.result == 0 ? 0 : 1;
}

int Verify(const std::string& setup) {
    SetupListing listing = ReadSetupListing(std::filesystem::u8path(setup));
    if (listing.result != 0) return Fail(setup + ": " + DescribePassResult(listing));
    size_t count = listing.entries.size();
    printf("%s: ok, %zu %s\n", setup.c_str(), count, count == 1 ? "entry" : "entries");
    return 0;
}

int Extract(ExtractRequest request, const std::string& languages) {
    if (!languages.empty() && languages != "all") {
        request.allLanguages = false;
        size_t at = 0;
        while (at <= languages.size()) {
            size_t comma = languages.find(',', at);
            std::string code = languages.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            for (char& c : code) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            if (code.empty() || code.size() > 4)
                throw CLI::ValidationError("--languages", "takes codes such as DE,IT or all, not \"" + languages + "\"");
            request.languages.push_back(code);
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
    }
    ExtractReport report;
    std::string error = ExtractSetup(request, &report);
    if (!error.empty()) return Fail(error);
    auto joined = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
        return text.empty() ? std::string("none") : text;
    };
    FILE* out = request.dryRun ? stdout : stderr;
    fprintf(out, "platform folder: %s\nlanguages: %s (left out: %s)\n",
            report.platform.empty() ? "none" : report.platform.c_str(), joined(report.checked).c_str(),
            joined(report.unchecked).c_str());
    if (request.dryRun) {
        for (const ExtractedFile& file : report.files)
            printf("write  %-30s %10u  from %s\n", file.installedAs.c_str(), file.size, file.entry.c_str());
        for (const std::string& entry : report.skipped) printf("skip   %s\n", entry.c_str());
    } else {
        fprintf(out, "%zu files written to %s\n", report.files.size(), request.folder.u8string().c_str());
    }
    return 0;
}

int Run(int argc, char** argv) {
    CLI::App app{"mksetup: packs a product folder into a setup file; lists, verifies and extracts one.", "mksetup"};
    app.set_version_flag("--version", kVersion);
    // On Windows the library would read /x as an option; a path from a Unix
    // shell or Wine starts that way, and the options here are spelled --x.
    app.allow_windows_style_options(false);
    app.require_subcommand(1, 1);
    app.footer(std::string(kVersion) + "; 'mksetup COMMAND --help' describes a command.\n");

    // An option given twice takes its last value, as shells' users expect.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    PackArguments pack;
    CLI::App* packCommand = app.add_subcommand("pack", "pack a product folder into a setup file");
    packCommand->add_option("--stub", pack.stub, "the installer program (setup.exe)")->required();
    packCommand->add_option("--product-code", pack.productCode, "at most 3 characters; names the remembered folder")
        ->required();
    packCommand->add_option("--window-class", pack.windowClass, "the product's main window class, at most 31 characters");
    packCommand->add_option("--main-program", pack.mainProgram, "the product's main program, at most 31 characters");
    packCommand->add_option("--date", pack.date, "the package date, YYYY-MM-DD (2012 or later); the files' times")
        ->required();
    packCommand->add_option("-o,--output", pack.output, "the setup file to write")->required();
    packCommand->add_option("--order", pack.order, "names to put first, one per line, in that order");
    packCommand->add_option("--level", pack.level, "encoder effort, 0 (fast) to 9 (smallest, the default)");
    packCommand->add_option("--dictionary", pack.dictionary,
                            "LZMA dictionary, 64K to 1024M (16M by default), cut to what the archive needs");
    packCommand->add_flag("--quiet", pack.quiet, "no progress line");
    packCommand->add_option("FOLDER", pack.folder, "the product folder")->required();
    packCommand->footer(kPackFooter);

    std::string listed;
    bool json = false;
    CLI::App* listCommand = app.add_subcommand("list", "show a setup file's header, entries and verdict");
    listCommand->add_option("SETUP", listed, "the setup file")->required();
    listCommand->add_flag("--json", json, "one JSON document instead (described in docs/mksetup.md)");
    listCommand->footer("Runs the installer's check over SETUP and prints the stream header, the archive header,\n"
                        "every entry and the verdict. Exits 1 when the file does not pass.\n");

    std::string verified;
    CLI::App* verifyCommand = app.add_subcommand("verify", "check a setup file: exit 0 when it is sound");
    verifyCommand->add_option("SETUP", verified, "the setup file")->required();
    verifyCommand->footer("Runs the installer's check over SETUP without writing anything: its archive pass, its\n"
                          "checksum and its name rule. Exits 0 when the setup file is sound, 1 with the failure.\n");

    ExtractRequest request;
    std::string setupPath, folderPath, languages;
    CLI::App* extractCommand =
        app.add_subcommand("extract", "write the files the installer would install, without Windows");
    extractCommand->add_option("SETUP", setupPath, "the setup file")->required();
    extractCommand->add_option("DIR", folderPath, "a new or empty folder")->required();
    extractCommand->add_option("--languages", languages, "the languages checked: codes such as DE,IT, or all (the default)");
    extractCommand->add_option("--platform", request.platform,
                               "the platform folder to take: 32, 64 or none (by default the installer's: 64 when there is one, else 32)")
        ->check(CLI::IsMember({"32", "64", "none"}));
    extractCommand->add_flag("--dry-run", request.dryRun, "print the plan, write nothing");
    extractCommand->footer("Uses the installer's own check, extraction filter and name rule: the files land flat\n"
                           "in DIR with the package's time, as the installer writes them; of names that differ\n"
                           "only in letter case the later file stays, as on Windows. A broken setup file is\n"
                           "refused, and a failure leaves DIR as it was.\n");

    auto known = [&](const std::string& name) {
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->check_name(name)) return true;
        return false;
    };
    if (argc > 1 && argv[1][0] != '-' && !known(argv[1])) {
        fprintf(stderr, "mksetup: unknown command %s\n'mksetup --help' lists the commands.\n", argv[1]);
        return 2;
    }
    // Whatever is left over is named for what it is.
    for (CLI::App* command : {packCommand, listCommand, verifyCommand, extractCommand}) command->allow_extras();
    try {
        app.parse(argc, argv);
        for (CLI::App* command : {packCommand, listCommand, verifyCommand, extractCommand}) {
            if (!*command || command->remaining().empty()) continue;
            std::string extra = command->remaining().front();
            throw CLI::ExtrasError(extra.size() > 1 && extra[0] == '-' ? "unknown option " + extra
                                                                       : "unexpected argument " + extra,
                                   CLI::ExitCodes::ExtrasError);
        }
        if (*packCommand) return Pack(pack);
        if (*listCommand) return List(listed, json);
        if (*verifyCommand) return Verify(verified);
        request.setup = std::filesystem::u8path(setupPath);
        request.folder = std::filesystem::u8path(folderPath);
        return Extract(request, languages);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fprintf(stderr, "mksetup: %s\n", e.what());
        fprintf(stderr, "'mksetup --help' lists the commands, 'mksetup COMMAND --help' their options.\n");
        return 2;
    }
}

}  // namespace

#ifdef _WIN32
int main() {
    // The command line as Windows keeps it, in UTF-16, then UTF-8 throughout.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(bytes > 0 ? bytes - 1 : 0, '\0');
        if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], bytes, nullptr, nullptr);
        args.push_back(arg);
    }
    LocalFree(wide);
    SetConsoleOutputCP(CP_UTF8);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    return Run(static_cast<int>(argv.size()), argv.data());
}
#else
int main(int argc, char** argv) { return Run(argc, argv); }
#endif
