// The packer's name checks and its order file, on names as a build machine's
// folder could hold them. Checked against Windows' naming (the files in
// memory) and the installer's own extraction filter:
//   - a name the packer accepts is stored in Windows-1252, fits, and each of
//     its parts is a name Windows keeps as written;
//   - the packer refuses two files exactly when the installer would write
//     them to one;
//   - a plan keeps every file once, puts the order file's names first in its
//     order, and never ends in an empty file.
//
// Input layout: a byte whose bits make files empty (bit i for file i % 8),
// then lines: file names (UTF-8, '/' between folders) up to a line "--",
// then the order file's text.
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "package_plan.h"
#include "passes/extract_handler.h"
#include "payload/archive_reader.h"
#include "platform/cp1252.h"
#include "platform/memory_files.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

std::u16string Widened(const std::string& cp1252) {
    std::u16string wide;
    for (unsigned char c : cp1252) wide += Cp1252ToUnicode(c);
    return wide;
}

// Every part of an accepted name is one Windows keeps as written.
void CheckAccepted(const PackageEntry& entry, const std::vector<std::string>& parts) {
    if (entry.name.size() > MAX_ENTRY_NAME) FuzzFail("a name of %zu bytes accepted", entry.name.size());
    if (entry.name.find('\xDD') != std::string::npos) FuzzFail("a name with the byte 0xDD accepted");
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : "\\") + part;
    if (Cp1252ToUtf8(entry.name) != joined) FuzzFail("the stored name is not the file's name");
    size_t begin = 0;
    while (begin <= entry.name.size()) {
        size_t end = std::min(entry.name.find('\\', begin), entry.name.size());
        std::u16string part = Widened(entry.name.substr(begin, end - begin));
        FuzzFreshFiles();
        std::u16string path = std::u16string(kFuzzFolder) + u"\\" + part;
        FileHandle file = FileCreateNew(path.c_str());
        if (file == NO_FILE) FuzzFail("an accepted name part Windows refuses (%u)", LastErrorCode());
        FileClose(file);
        std::vector<MemoryFile> files = MemoryFilesList();
        if (files.size() != 1 || files[0].path != path) FuzzFail("an accepted name part Windows changes");
        begin = end + 1;
    }
}

// Whether the installer would write two of the entries to one file: its own
// filter, every language checked, into a folder in memory.
bool InstallerWouldMerge(const std::vector<PackageEntry>& entries) {
    bool has32 = false, has64 = false;
    for (const PackageEntry& entry : entries) {
        if (entry.size == 0) continue;
        has32 = has32 || entry.name.compare(0, 3, "32\\") == 0;
        has64 = has64 || entry.name.compare(0, 3, "64\\") == 0;
    }
    InstallContext context = {};
    ExtractView view = {[](void*, const WideChar*) {}};
    context.view = &view;
    const std::u16string destination = u"C:\\fuzz\\installed";
    std::copy(destination.begin(), destination.end(), context.destinationFolder);
    if (has64 || has32) {
        context.platformFolder[0] = has64 ? '6' : '3';
        context.platformFolder[1] = has64 ? '4' : '2';
    }
    FuzzFreshFiles();
    MemoryFolderCreate(destination.c_str());
    for (const PackageEntry& entry : entries) {
        WideChar path[NAME_CAPACITY] = {};
        std::u16string name = Widened(entry.name);
        std::copy(name.begin(), name.end(), path);
        if (OnExtractEntry(path, nullptr, static_cast<uint32_t>(entry.size), &context) == 0) continue;
        if (FileOrFolderExists(path)) return true;  // written before: the later would replace it
        FileHandle file = FileCreateNew(path);
        if (file == NO_FILE) FuzzFail("the installer could not create a file (%u)", LastErrorCode());
        FileClose(file);
    }
    return false;
}

void CheckPlan(const std::vector<PackageEntry>& before, const std::vector<PackageEntry>& after,
               const std::vector<std::string>& ordered) {
    std::multiset<std::string> a, b;
    for (const PackageEntry& e : before) a.insert(e.name);
    for (const PackageEntry& e : after) b.insert(e.name);
    if (a != b) FuzzFail("the plan lost or doubled a file");
    // The order file's names lead, in its order; only the last file may have
    // been moved behind an empty one.
    std::vector<std::string> expected;
    for (const std::string& name : ordered)
        if (name != after.back().shown) expected.push_back(name);
    for (size_t i = 0; i < expected.size(); ++i)
        if (i + 1 >= after.size() || after[i].shown != expected[i])
            FuzzFail("the order file's name %zu is not in its place", i + 1);
    if (after.back().size == 0) FuzzFail("the plan ends in an empty file");
}

// The names of the order file as the packer reads them.
std::vector<std::string> OrderedNames(const std::string& text) {
    std::vector<std::string> names;
    size_t begin = 0;
    for (int number = 1; begin < text.size(); ++number) {
        size_t end = std::min(text.find('\n', begin), text.size());
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::replace(line.begin(), line.end(), '\\', '/');
        names.push_back(line);
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FuzzInputFiles files;
    uint8_t empties = data[0];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = text.find("\n--\n");
    std::string names = text.substr(0, split);
    std::string order = split == std::string::npos ? std::string() : text.substr(split + 4);

    // Names as a folder could hold them: parts without '/' or NUL, not "." or
    // "..", each path once.
    std::vector<PackageEntry> entries;
    std::set<std::string> seen;
    size_t begin = 0;
    while (begin <= names.size() && entries.size() < 64) {
        size_t end = std::min(names.find('\n', begin), names.size());
        std::string line = names.substr(begin, end - begin);
        begin = end + 1;
        std::vector<std::string> parts;
        size_t from = 0;
        while (from <= line.size()) {
            size_t to = std::min(line.find('/', from), line.size());
            std::string part = line.substr(from, to - from);
            if (!part.empty() && part != "." && part != ".." && part.find('\0') == std::string::npos)
                parts.push_back(part);
            from = to + 1;
        }
        if (parts.empty()) continue;
        fs::path relative;
        for (const std::string& part : parts) relative /= fs::u8path(part);
        if (!seen.insert(relative.u8string()).second) continue;
        PackageEntry entry;
        if (!EntryName(relative, &entry).empty()) continue;
        CheckAccepted(entry, parts);
        entry.size = (empties >> (entries.size() % 8)) & 1 ? 0 : entries.size() + 1;
        entries.push_back(entry);
    }
    if (entries.empty()) return 0;

    std::vector<PackageEntry> planned = entries;
    std::string error = PlanEntries(&planned, split == std::string::npos ? nullptr : &order, "order", "folder");
    bool merge = InstallerWouldMerge(entries);
    bool clash = error.find("would both be installed as") != std::string::npos;
    if (clash != merge)
        FuzzFail("the packer %s two files, the installer would %s them", clash ? "refused" : "took",
                 merge ? "merge" : "keep");
    if (!error.empty()) return 0;
    CheckPlan(entries, planned, split == std::string::npos ? std::vector<std::string>() : OrderedNames(order));
    return 0;
}
