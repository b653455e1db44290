#include "package_plan.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "platform/cp1252.h"
#include "support/ascii.h"
#include "support/name_rule.h"
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

const char* ProblemText(NameProblem problem) {
    switch (problem) {
        case NAME_EMPTY: return "is empty";
        case NAME_DOTS: return "is \".\" or \"..\"";
        case NAME_FORBIDDEN_CHARACTER: return "holds a character that Windows does not allow in names (< > : \" | ? * or a control character)";
        case NAME_TRAILING_DOT_OR_SPACE: return "ends in a dot or a space, which Windows drops";
        case NAME_DEVICE: return "is a device name to Windows (CON, PRN, AUX, NUL, COM1, LPT1 and the like)";
        case NAME_OK: break;
    }
    return "";
}

// Each part of the path as Windows will see it: stored in Windows-1252, it
// must pass the installer's name rule.
std::string CheckNameParts(const PackageEntry& entry) {
    size_t begin = 0;
    while (begin <= entry.name.size()) {
        size_t end = entry.name.find('\\', begin);
        if (end == std::string::npos) end = entry.name.size();
        std::basic_string<WideChar> part;
        for (size_t i = begin; i < end; ++i) part += Cp1252ToUnicode(static_cast<uint8_t>(entry.name[i]));
        NameProblem problem = CheckName(part.c_str(), static_cast<int>(part.size()));
        if (problem != NAME_OK)
            return "\"" + entry.shown + "\": the name \"" + Cp1252ToUtf8(entry.name.substr(begin, end - begin)) + "\" " +
                   ProblemText(problem);
        begin = end + 1;
    }
    return std::string();
}

std::string NameEntryParts(const fs::path& relative, PackageEntry* entry) {
    std::string utf8;
    for (const fs::path& part : relative) {
        std::string text = part.u8string();
        // A backslash is a character of a name on the build machine, and a
        // separator in the archive: the installer would make a folder of it.
        if (text.find('\\') != std::string::npos)
            return "\"" + relative.u8string() + "\": the name \"" + text + "\" holds a backslash";
        if (!utf8.empty()) utf8 += '\\';
        utf8 += text;
    }
    entry->shown = utf8;
    std::replace(entry->shown.begin(), entry->shown.end(), '\\', '/');
    std::string error = StorableText(utf8, "file name", MAX_ENTRY_NAME, &entry->name);
    if (error.empty()) error = CheckNameParts(*entry);
    return error;
}

// The build machine's name of a file, for comparing with the output's.
std::string Identity(const fs::path& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(path, ec);
    return (ec ? path : canonical).u8string();
}

struct Walk {
    std::vector<PackageEntry>* entries;
    std::vector<std::string> excluded;  // identities of files never to pack
    std::vector<std::string> folders;   // the canonical folders from the root to here
};

std::string WalkFolder(Walk* walk, const fs::path& folder, const fs::path& relative) {
    std::error_code ec;
    std::vector<fs::path> items;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) items.push_back(it->path());
    if (ec) return "cannot read " + folder.u8string() + ": " + ec.message();
    std::sort(items.begin(), items.end());
    for (const fs::path& path : items) {
        fs::path inside = relative / path.filename();
        fs::file_status status = fs::status(path, ec);  // links are followed
        if (ec || status.type() == fs::file_type::not_found)
            return path.u8string() + " is a link to nothing";
        if (status.type() == fs::file_type::directory) {
            std::string canonical = fs::canonical(path, ec).u8string();
            if (ec) return "cannot read " + path.u8string() + ": " + ec.message();
            if (std::find(walk->folders.begin(), walk->folders.end(), canonical) != walk->folders.end())
                return path.u8string() + " is a link to a folder that holds it: a loop";
            walk->folders.push_back(canonical);
            std::string error = WalkFolder(walk, path, inside);
            walk->folders.pop_back();
            if (!error.empty()) return error;
            continue;
        }
        if (status.type() != fs::file_type::regular) return path.u8string() + " is neither a regular file nor a folder";
        std::string identity = Identity(path);
        if (std::find(walk->excluded.begin(), walk->excluded.end(), identity) != walk->excluded.end()) continue;
        PackageEntry entry;
        entry.source = path;
        entry.size = fs::file_size(path, ec);
        if (ec) return "cannot read " + path.u8string() + ": " + ec.message();
        std::string error = NameEntryParts(inside, &entry);
        if (!error.empty()) return error;
        walk->entries->push_back(entry);
    }
    return std::string();
}

// The platform folder the installer picks (64 when present, else 32; a
// folder counts when it holds a non-empty file), or "".
std::string ChosenPlatform(const std::vector<PackageEntry>& entries) {
    bool has32 = false, has64 = false;
    for (const PackageEntry& e : entries) {
        if (e.size == 0) continue;
        has32 = has32 || e.name.compare(0, 3, "32\\") == 0;
        has64 = has64 || e.name.compare(0, 3, "64\\") == 0;
    }
    return has64 ? "64" : has32 ? "32" : "";
}

// Whether the installer writes the entry, and under which name.
bool Installed(const PackageEntry& entry, const std::string& platform, std::string* fileName) {
    size_t last = entry.name.rfind('\\');
    *fileName = last == std::string::npos ? entry.name : entry.name.substr(last + 1);
    if (platform.empty() || last == std::string::npos) return true;
    return entry.name.compare(0, last, platform) == 0 && last == platform.size();
}

// Entries that the installer would write to the same file, case folded as
// Windows folds Windows-1252 names: the later one would silently win.
std::string CheckInstalledNames(const std::vector<PackageEntry>& entries, const std::string& platform) {
    std::map<std::string, const PackageEntry*> written;
    for (const PackageEntry& entry : entries) {
        std::string fileName;
        if (!Installed(entry, platform, &fileName)) continue;
        auto placed = written.emplace(Folded(fileName), &entry);
        if (!placed.second)
            return "\"" + placed.first->second->shown + "\" and \"" + entry.shown +
                   "\" would both be installed as \"" + Cp1252ToUtf8(fileName) +
                   "\" (the installer puts every file straight into its folder, and Windows ignores letter case)";
    }
    return std::string();
}

void Warn(std::vector<std::string>* warnings, const std::string& text) {
    if (warnings) warnings->push_back(text);
}

// What is packed but never installed, and names that change on other systems.
void WarnAboutEntries(const std::vector<PackageEntry>& entries, const std::string& platform,
                      std::vector<std::string>* warnings) {
    for (const PackageEntry& entry : entries) {
        std::string fileName;
        if (!Installed(entry, platform, &fileName)) {
            std::string why = entry.name.compare(0, 3, "32\\") == 0 && platform == "64"
                                  ? "the installer takes the 64 folder when there is one"
                                  : "beside the platform folders the installer installs only their direct files and the root's";
            Warn(warnings, "\"" + entry.shown + "\" is packed but never installed: " + why);
        }
        for (unsigned char c : entry.name)
            if (c >= 0x80) {
                Warn(warnings, "\"" + entry.shown +
                                   "\" has a name beyond ASCII: the installer reads names in the system's code page, "
                                   "so it is installed under another name where that is not Windows-1252");
                break;
            }
    }
}

std::string ApplyOrder(const std::string& text, const std::string& source, std::vector<PackageEntry>& entries) {
    std::istringstream in(text);
    std::map<std::string, size_t> byName;
    for (size_t i = 0; i < entries.size(); ++i) byName[entries[i].shown] = i;
    std::vector<PackageEntry> ordered;
    std::vector<bool> taken(entries.size(), false);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        // Editors put a byte-order mark in front, and blanks behind.
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::replace(line.begin(), line.end(), '\\', '/');
        auto found = byName.find(line);
        if (found == byName.end())
            return source + ":" + std::to_string(number) + ": no file \"" + line + "\" in the folder";
        if (taken[found->second])
            return source + ":" + std::to_string(number) + ": \"" + line + "\" is listed twice";
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

std::string EntryName(const fs::path& relative, PackageEntry* entry) { return NameEntryParts(relative, entry); }

std::string PlanPackage(const fs::path& folder, const fs::path& orderFile, std::vector<PackageEntry>* entries,
                        const std::vector<fs::path>& excluded, std::vector<std::string>* warnings) {
    entries->clear();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return folder.u8string() + " is not a folder";
    std::string orderText;
    if (!orderFile.empty()) {
        std::ifstream in(orderFile, std::ios::binary);
        std::ostringstream text;
        if (!in || !(text << in.rdbuf())) return "cannot read the order file " + orderFile.u8string();
        orderText = text.str();
    }
    Walk walk{entries, {}, {fs::canonical(folder, ec).u8string()}};
    for (const fs::path& path : excluded) walk.excluded.push_back(Identity(path));
    std::string error = WalkFolder(&walk, folder, fs::path());
    if (!error.empty()) return error;
    if (entries->empty()) return folder.u8string() + " holds no files";
    return PlanEntries(entries, orderFile.empty() ? nullptr : &orderText, orderFile.u8string(), folder.u8string(),
                       warnings);
}

std::string PlanEntries(std::vector<PackageEntry>* entries, const std::string* orderText, const std::string& orderName,
                        const std::string& folderName, std::vector<std::string>* warnings) {
    if (entries->empty()) return folderName + " holds no files";
    DefaultOrder(*entries);
    std::string platform = ChosenPlatform(*entries);
    std::string error = CheckInstalledNames(*entries, platform);
    if (!error.empty()) return error;
    WarnAboutEntries(*entries, platform, warnings);
    if (orderText) {
        error = ApplyOrder(*orderText, orderName, *entries);
        if (!error.empty()) return error;
    }
    if (entries->back().size == 0) {
        auto last = std::find_if(entries->rbegin(), entries->rend(), [](const PackageEntry& e) { return e.size > 0; });
        if (last == entries->rend())
            return folderName + " holds only empty files; the installer cannot see an empty file at the end of a package";
        PackageEntry moved = *last;
        entries->erase(std::next(last).base());
        entries->push_back(moved);
    }
    return std::string();
}
