#include "package_plan.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

#include "support/ascii.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

// Upper case as Windows compares file names, for the letters of Windows-1252.
std::string Folded(std::string name) {
    for (char& c : name) {
        uint8_t b = static_cast<uint8_t>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) b = static_cast<uint8_t>(b - 0x20);
        else if (b == 0x9A || b == 0x9C || b == 0x9E) b = static_cast<uint8_t>(b - 0x10);
        else if (b == 0xFF) b = 0x9F;
        c = static_cast<char>(b);
    }
    return name;
}

bool InPlatformFolder(const std::string& name) {
    return name.size() > 3 && (name.compare(0, 3, "32\\") == 0 || name.compare(0, 3, "64\\") == 0);
}

bool IsLanguageFile(const std::string& name) {
    return name.size() > 4 && Folded(name.substr(name.size() - 4)) == ".LNG";
}

bool NameLess(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = static_cast<uint8_t>(UpperAscii(a[i])), y = static_cast<uint8_t>(UpperAscii(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// The head that the installer's dialog needs comes first, so that it is
// complete after a few kilobytes: one (the smallest) non-empty file of each
// platform folder for the platform line, the description, the language
// files; then the rest.
void DefaultOrder(std::vector<PackageEntry>& entries) {
    enum { HEAD_32, HEAD_64, DESCRIPTION, LANGUAGES, REST };
    std::vector<int> groups(entries.size(), REST);
    for (int platform = HEAD_32; platform <= HEAD_64; ++platform) {
        const char* folder = platform == HEAD_32 ? "32\\" : "64\\";
        int smallest = -1;
        for (size_t i = 0; i < entries.size(); ++i) {
            const PackageEntry& e = entries[i];
            if (e.size == 0 || !InPlatformFolder(e.name) || e.name.compare(0, 3, folder) != 0) continue;
            if (smallest < 0 || e.size < entries[smallest].size ||
                (e.size == entries[smallest].size && NameLess(e.name, entries[smallest].name)))
                smallest = static_cast<int>(i);
        }
        if (smallest >= 0) groups[smallest] = platform;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (groups[i] != REST) continue;
        if (Folded(entries[i].name) == "FILE_ID.DIZ") groups[i] = DESCRIPTION;
        else if (IsLanguageFile(entries[i].name)) groups[i] = LANGUAGES;
    }
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return groups[a] != groups[b] ? groups[a] < groups[b] : NameLess(entries[a].name, entries[b].name);
    });
    std::vector<PackageEntry> sorted;
    sorted.reserve(entries.size());
    for (size_t i : order) sorted.push_back(entries[i]);
    entries.swap(sorted);
}

std::string EntryName(const fs::path& relative, PackageEntry* entry) {
    std::string utf8;
    for (const fs::path& part : relative) {
        if (!utf8.empty()) utf8 += '\\';
        utf8 += part.u8string();
    }
    entry->shown = utf8;
    std::replace(entry->shown.begin(), entry->shown.end(), '\\', '/');
    return StorableText(utf8, "file name", MAX_ENTRY_NAME, &entry->name);
}

std::string ApplyOrderFile(const fs::path& orderFile, std::vector<PackageEntry>& entries) {
    std::ifstream in(orderFile, std::ios::binary);
    if (!in) return "cannot read the order file " + orderFile.u8string();
    std::map<std::string, size_t> byName;
    for (size_t i = 0; i < entries.size(); ++i) byName[entries[i].shown] = i;
    std::vector<PackageEntry> ordered;
    std::vector<bool> taken(entries.size(), false);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::replace(line.begin(), line.end(), '\\', '/');
        auto found = byName.find(line);
        if (found == byName.end())
            return orderFile.u8string() + ":" + std::to_string(number) + ": no file \"" + line + "\" in the folder";
        if (taken[found->second])
            return orderFile.u8string() + ":" + std::to_string(number) + ": \"" + line + "\" is listed twice";
        taken[found->second] = true;
        ordered.push_back(entries[found->second]);
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (!taken[i]) ordered.push_back(entries[i]);
    entries.swap(ordered);
    return std::string();
}

}  // namespace

std::string StorableText(const std::string& utf8, const char* what, size_t maxBytes, std::string* cp1252) {
    if (!Utf8ToCp1252(utf8, cp1252))
        return std::string(what) + " \"" + utf8 + "\" holds a character that Windows-1252 cannot represent";
    if (cp1252->find('\xDD') != std::string::npos)
        return std::string(what) + " \"" + utf8 + "\" holds the character \xC3\x9D (byte 0xDD), which a setup file cannot store";
    if (cp1252->size() > maxBytes)
        return std::string(what) + " \"" + utf8 + "\" is " + std::to_string(cp1252->size()) + " bytes long; at most " +
               std::to_string(maxBytes) + " fit";
    return std::string();
}

std::string PlanPackage(const fs::path& folder, const fs::path& orderFile, std::vector<PackageEntry>* entries) {
    entries->clear();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return folder.u8string() + " is not a folder";
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec);
    if (ec) return "cannot read " + folder.u8string() + ": " + ec.message();
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) return "cannot read " + folder.u8string() + ": " + ec.message();
        const fs::directory_entry& item = *it;
        if (item.is_directory(ec)) continue;
        if (!item.is_regular_file(ec))
            return item.path().u8string() + " is neither a regular file nor a folder";
        PackageEntry entry;
        entry.source = item.path();
        entry.size = item.file_size(ec);
        if (ec) return "cannot read " + item.path().u8string() + ": " + ec.message();
        std::string error = EntryName(item.path().lexically_relative(folder), &entry);
        if (!error.empty()) return error;
        entries->push_back(entry);
    }
    if (entries->empty()) return folder.u8string() + " holds no files";
    DefaultOrder(*entries);
    // Windows file names ignore case: two such entries would overwrite each other.
    std::map<std::string, const PackageEntry*> seen;
    for (const PackageEntry& entry : *entries) {
        auto placed = seen.emplace(Folded(entry.name), &entry);
        if (!placed.second)
            return "\"" + placed.first->second->shown + "\" and \"" + entry.shown +
                   "\" differ only in letter case, which Windows does not tell apart";
    }
    if (!orderFile.empty()) {
        std::string error = ApplyOrderFile(orderFile, *entries);
        if (!error.empty()) return error;
    }
    if (entries->back().size == 0) {
        auto last = std::find_if(entries->rbegin(), entries->rend(), [](const PackageEntry& e) { return e.size > 0; });
        if (last == entries->rend())
            return folder.u8string() + " holds only empty files; the installer cannot see an empty file at the end of a package";
        PackageEntry moved = *last;
        entries->erase(std::next(last).base());
        entries->push_back(moved);
    }
    return std::string();
}
