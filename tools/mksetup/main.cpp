// mksetup: packs a product folder into a setup file, lists and verifies one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include "pack.h"
#include "payload/archive_reader.h"
#include "setup_listing.h"

namespace {

const char kUsage[] =
    "usage: mksetup <command> [options]\n"
    "\n"
    "commands:\n"
    "  pack     pack a product folder into a setup file\n"
    "  list     show a setup file's header and entries, and check it\n"
    "  verify   check a setup file: exit 0 when it is sound\n"
    "\n"
    "'mksetup <command> --help' describes a command.\n";

const char kPackUsage[] =
    "usage: mksetup pack --stub STUB --product-code CODE --date YYYY-MM-DD -o SETUP FOLDER\n"
    "                    [--window-class CLASS] [--main-program NAME] [--order FILE]\n"
    "                    [--level 0-9] [--dictionary SIZE] [--quiet]\n"
    "\n"
    "Packs every file below FOLDER into SETUP: the installer stub STUB, then the\n"
    "LZMA-compressed archive. Entry names are the files' paths relative to FOLDER,\n"
    "with backslashes, in Windows-1252.\n"
    "\n"
    "  --stub STUB            the installer program (setup.exe)\n"
    "  --product-code CODE    at most 3 characters; names the remembered folder\n"
    "  --window-class CLASS   the product's main window class, at most 31 characters\n"
    "  --main-program NAME    the product's main program, at most 31 characters\n"
    "  --date YYYY-MM-DD      the package date (2012 or later); the files' times\n"
    "  -o, --output SETUP     the setup file to write\n"
    "  --order FILE           names to put first, one per line, in that order\n"
    "  --level N              encoder effort, 0 (fast) to 9 (smallest, default)\n"
    "  --dictionary SIZE      LZMA dictionary, e.g. 16M (default), 64K to 1024M,\n"
    "                         cut to what the archive needs; the installer\n"
    "                         allocates it when it runs\n"
    "  --quiet                no progress line\n"
    "\n"
    "Links are followed; the output is never packed. Names that Windows would not\n"
    "keep as written are refused, and so are two files that the installer would\n"
    "write to one (it puts every file straight into its folder); warnings name\n"
    "files that are packed but never installed.\n"
    "\n"
    "Default order: the smallest non-empty file of the top folders 32 and 64,\n"
    "FILE_ID.DIZ, the .LNG files, then the rest, each group by name. The same\n"
    "inputs give the same file.\n";

const char kListUsage[] =
    "usage: mksetup list SETUP\n"
    "\n"
    "Prints the payload's stream header, the archive header, every entry (size\n"
    "and name) and the checksum verdict. Exits 1 when the file does not pass.\n";

const char kVerifyUsage[] =
    "usage: mksetup verify SETUP\n"
    "\n"
    "Runs the installer's archive pass over SETUP without writing anything.\n"
    "Exits 0 when the setup file is sound, 1 with the failure otherwise.\n";

int Fail(const std::string& message) {
    fprintf(stderr, "mksetup: %s\n", message.c_str());
    return 1;
}

int UsageError(const std::string& message, const char* usage) {
    fprintf(stderr, "mksetup: %s\n\n%s", message.c_str(), usage);
    return 2;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") return true;
    return false;
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

int Pack(const std::vector<std::string>& args) {
    if (WantsHelp(args)) return fputs(kPackUsage, stdout), 0;
    PackOptions options;
    std::string date;
    bool haveCode = false, quiet = false;
    std::vector<std::string> folders;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        size_t equals = name.find('=');
        bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        auto next = [&](std::string* out) {
            if (inlineValue) return *out = value, true;
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string text;
        static const char* const kValueOptions[] = {"--stub", "-o", "--output", "--product-code", "--window-class",
                                                     "--main-program", "--date", "--order", "--level", "--dictionary"};
        bool known = false;
        for (const char* option : kValueOptions) known = known || name == option;
        if (name == "--quiet") {
            quiet = true;
        } else if (name.size() > 1 && name[0] == '-') {
            if (!known) return UsageError("unknown option " + name, kPackUsage);
            if (!next(&text)) return UsageError(name + " needs a value", kPackUsage);
            if (name == "--stub") options.stub = std::filesystem::u8path(text);
            else if (name == "-o" || name == "--output") options.output = std::filesystem::u8path(text);
            else if (name == "--product-code") options.productCode = text, haveCode = true;
            else if (name == "--window-class") options.windowClass = text;
            else if (name == "--main-program") options.mainProgram = text;
            else if (name == "--date") date = text;
            else if (name == "--order") options.orderFile = std::filesystem::u8path(text);
            else if (name == "--level") {
                if (text.size() != 1 || text[0] < '0' || text[0] > '9')
                    return UsageError("--level takes a number from 0 to 9, not \"" + text + "\"", kPackUsage);
                options.lzma.level = text[0] - '0';
            } else if (name == "--dictionary") {
                if (!ParseSize(text, &options.lzma.dictionarySize))
                    return UsageError("--dictionary takes a size from 64K to 1024M, not \"" + text + "\"", kPackUsage);
            } else {
                return UsageError("unknown option " + name, kPackUsage);
            }
        } else {
            folders.push_back(args[i]);
        }
    }
    if (options.stub.empty()) return UsageError("--stub is missing", kPackUsage);
    if (options.output.empty()) return UsageError("-o is missing", kPackUsage);
    if (!haveCode) return UsageError("--product-code is missing", kPackUsage);
    if (date.empty()) return UsageError("--date is missing", kPackUsage);
    if (!ParseDate(date, &options.year, &options.month, &options.day))
        return UsageError("--date takes YYYY-MM-DD, not \"" + date + "\"", kPackUsage);
    if (folders.size() != 1) return UsageError("give exactly one product folder", kPackUsage);
    options.folder = std::filesystem::u8path(folders[0]);
    options.progress = !quiet && isatty(2);
    std::vector<std::string> warnings;
    std::string error = PackSetup(options, &warnings);
    if (!error.empty()) return Fail(error);
    for (const std::string& warning : warnings) fprintf(stderr, "mksetup: warning: %s\n", warning.c_str());
    return 0;
}

std::string FormatDate(uint32_t value) {
    int year, month, day;
    SplitPackageDate(value, &year, &month, &day);
    char text[48];
    snprintf(text, sizeof text, "%04d-%02d-%02d (value %u)", year, month, day, value);
    return text;
}

int List(const std::vector<std::string>& args, bool verbose) {
    const char* usage = verbose ? kListUsage : kVerifyUsage;
    if (WantsHelp(args)) return fputs(usage, stdout), 0;
    if (args.size() != 1) return UsageError("give exactly one setup file", usage);
    SetupListing listing = ReadSetupListing(std::filesystem::u8path(args[0]));
    if (!verbose) {
        if (listing.result == 0) {
            size_t count = listing.entries.size();
            printf("%s: ok, %zu %s\n", args[0].c_str(), count, count == 1 ? "entry" : "entries");
            return 0;
        }
        return Fail(args[0] + ": " + DescribePassResult(listing));
    }
    if (listing.result > 0) return Fail(args[0] + ": " + DescribePassResult(listing));
    printf("Setup file:     %s (%llu bytes)\n", args[0].c_str(), static_cast<unsigned long long>(listing.fileSize));
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
        printf("Package date:   %s\n", FormatDate(listing.packageDate).c_str());
        printf("Entries:        %zu\n\n", listing.entries.size());
        printf("%12s  %s\n", "size", "name");
        for (const ListedEntry& entry : listing.entries) printf("%12u  %s\n", entry.size, entry.name.c_str());
        printf("\nChecksum:       %u, announced %u\n", listing.checksum, listing.announcedChecksum);
    }
    printf("Verdict:        %s\n", DescribePassResult(listing).c_str());
    return listing.result == 0 ? 0 : 1;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError("no command given", kUsage);
    std::string command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") return fputs(kUsage, stdout), 0;
    if (command == "pack") return Pack(rest);
    if (command == "list") return List(rest, true);
    if (command == "verify") return List(rest, false);
    return UsageError("unknown command " + command, kUsage);
}

}  // namespace

#ifdef _WIN32
int main() {
    // The command line as Windows keeps it, in UTF-16, then UTF-8 throughout.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(bytes > 0 ? bytes - 1 : 0, '\0');
        if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], bytes, nullptr, nullptr);
        args.push_back(arg);
    }
    LocalFree(wide);
    SetConsoleOutputCP(CP_UTF8);
    return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
