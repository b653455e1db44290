// The platform layer's files, in memory: see memory_files.h for the rules it
// keeps. One lock guards the whole tree, since the pipelined pass and the
// jobs touch files from more than one thread.
#include <string.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "platform/memory_files.h"
#include "platform_faults.h"

namespace {

enum : uint32_t {
    kFileNotFound = 2,
    kPathNotFound = 3,
    kAccessDenied = 5,
    kInvalidHandle = 6,
    kSharingViolation = 32,
    kFileExists = 80,
    kDiskFull = 112,
    kInvalidName = 123,
    kNegativeSeek = 131,
};

struct Node {
    std::u16string name;  // as spelled when created
    bool folder = false;
    std::vector<uint8_t> data;
    uint64_t lastWrite = 0;
    bool readOnly = false;
    int readers = 0, writers = 0;
    std::map<std::u16string, std::shared_ptr<Node>> children;  // by folded name
};

struct OpenFile {
    std::shared_ptr<Node> node;
    bool write;
    uint64_t position = 0;
};

struct Tree {
    std::mutex lock;
    std::map<std::u16string, std::shared_ptr<Node>> roots;  // "" or a drive, folded
    uint64_t capacity = 0, used = 0;
    uint32_t openHandles = 0, refusedNames = 0;
};

Tree& TheTree() {
    static Tree* tree = new Tree;  // never destroyed: threads may outlive static destruction
    return *tree;
}

// Windows compares names through an upper-case table; this is its part for
// the scripts the project's names can come from.
char16_t Fold(char16_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<char16_t>(c - 32);
    if (c < 0xB5) return c;
    if (c == 0xB5) return 0x39C;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: pairs, upper case first, except where a run is
        // offset by one (0x139-0x148, 0x179-0x17E) and the odd dotless i.
        bool offset = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (offset) return (c & 1) == 0 ? static_cast<char16_t>(c - 1) : c;
        return (c & 1) == 1 ? static_cast<char16_t>(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    return c;
}

std::u16string Folded(const std::u16string& name) {
    std::u16string out(name);
    for (char16_t& c : out) c = Fold(c);
    return out;
}

bool IsDevice(const std::u16string& name) {
    // The part before the first dot, without the spaces that end it, is what
    // Windows compares with its device names.
    size_t end = name.find(u'.');
    if (end == std::u16string::npos) end = name.size();
    while (end > 0 && name[end - 1] == u' ') --end;
    std::u16string base = Folded(name.substr(0, end));
    for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
        if (base == device) return true;
    if (base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0)) {
        char16_t digit = base[3];
        return (digit >= u'0' && digit <= u'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

bool IsForbidden(char16_t c) {
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

// A path taken apart as Windows takes it: the root and the names below it.
struct ParsedPath {
    std::u16string root;
    std::vector<std::u16string> names;
    bool refused = false;
};

ParsedPath Parse(const WideChar* path) {
    ParsedPath parsed;
    std::u16string text;
    for (const WideChar* c = path; *c; ++c) text += static_cast<char16_t>(*c);
    size_t at = 0;
    if (text.size() >= 2 && text[1] == u':' &&
        ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'))) {
        parsed.root = Folded(text.substr(0, 2));
        at = 2;
    }
    std::vector<std::u16string> parts;
    while (at <= text.size()) {
        size_t end = text.find_first_of(u"\\/", at);
        if (end == std::u16string::npos) end = text.size();
        parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    bool endsInSeparator = !text.empty() && (text.back() == u'\\' || text.back() == u'/');
    for (size_t i = 0; i < parts.size(); ++i) {
        std::u16string name = parts[i];
        if (name.empty() || name == u".") continue;
        if (name == u"..") {
            if (!parsed.names.empty()) parsed.names.pop_back();
            continue;
        }
        bool last = i + 1 == parts.size() && !endsInSeparator;
        if (last) {
            while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
        } else if (name.back() == u'.' && name.find_first_not_of(u'.') != std::u16string::npos) {
            name.pop_back();
        }
        if (name.empty()) continue;
        for (char16_t c : name)
            if (IsForbidden(c)) parsed.refused = true;
        if (IsDevice(name)) parsed.refused = true;
        parsed.names.push_back(name);
    }
    return parsed;
}

uint64_t Now() {
    using namespace std::chrono;
    int64_t unix100ns = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return static_cast<uint64_t>(unix100ns) + 116444736000000000ULL;
}

bool Fail(uint32_t code) {
    SetLastErrorCode(code);
    return false;
}

FileHandle FailOpen(uint32_t code) {
    SetLastErrorCode(code);
    return NO_FILE;
}

bool Faulted(PlatformOperation operation) {
    uint32_t code;
    if (!PlatformFaultDue(operation, &code)) return false;
    SetLastErrorCode(code);
    return true;
}

// What a path names: its folder (null when a folder on the way is missing),
// the last name and the node there, if any. Called under the lock.
struct Place {
    std::shared_ptr<Node> folder;
    std::u16string name;  // empty for a root
    std::shared_ptr<Node> node;
    uint32_t error = 0;   // why the place cannot be had
};

Place Find(Tree& tree, const WideChar* path) {
    Place place;
    ParsedPath parsed = Parse(path);
    if (parsed.refused) {
        ++tree.refusedNames;
        place.error = kInvalidName;
        return place;
    }
    std::shared_ptr<Node>& root = tree.roots[parsed.root];
    if (!root) {
        root = std::make_shared<Node>();
        root->folder = true;
        root->name = parsed.root;
    }
    if (parsed.names.empty()) {
        place.node = root;
        return place;
    }
    std::shared_ptr<Node> folder = root;
    for (size_t i = 0; i + 1 < parsed.names.size(); ++i) {
        auto child = folder->children.find(Folded(parsed.names[i]));
        if (child == folder->children.end() || !child->second->folder) {
            place.error = kPathNotFound;
            return place;
        }
        folder = child->second;
    }
    place.folder = folder;
    place.name = parsed.names.back();
    auto child = folder->children.find(Folded(place.name));
    if (child != folder->children.end()) place.node = child->second;
    return place;
}

FileHandle Open(Tree& tree, const std::shared_ptr<Node>& node, bool write) {
    (write ? node->writers : node->readers) += 1;
    ++tree.openHandles;
    return new OpenFile{node, write};
}

enum CreateMode { CREATE_ALWAYS_MODE, CREATE_NEW_MODE };

FileHandle Create(const WideChar* path, CreateMode mode) {
    if (Faulted(FAULT_CREATE)) return NO_FILE;
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place place = Find(tree, path);
    if (place.error) return FailOpen(place.error);
    if (!place.folder) return FailOpen(kAccessDenied);  // a root
    if (place.node) {
        Node& node = *place.node;
        if (mode == CREATE_NEW_MODE) return FailOpen(kFileExists);
        if (node.folder || node.readOnly) return FailOpen(kAccessDenied);
        if (node.readers || node.writers) return FailOpen(kSharingViolation);
        tree.used -= node.data.size();
        node.data.clear();
        node.data.shrink_to_fit();
        node.lastWrite = Now();
        return Open(tree, place.node, true);
    }
    auto node = std::make_shared<Node>();
    node->name = place.name;
    node->lastWrite = Now();
    place.folder->children[Folded(place.name)] = node;
    return Open(tree, node, true);
}

OpenFile* Opened(FileHandle file) {
    if (file == NO_FILE || file == nullptr) return nullptr;
    return static_cast<OpenFile*>(file);
}

bool ReadFrom(OpenFile* open, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
    const std::vector<uint8_t>& data = open->node->data;
    uint64_t available = offset < data.size() ? data.size() - offset : 0;
    *done = static_cast<uint32_t>(std::min<uint64_t>(available, count));
    if (*done) memcpy(buffer, data.data() + offset, *done);
    return true;
}

std::u16string Joined(const std::vector<std::u16string>& parts) {
    std::u16string out;
    for (const std::u16string& part : parts) {
        if (!out.empty()) out += u'\\';
        out += part;
    }
    return out;
}

void Collect(const Node& folder, std::vector<std::u16string>* path, std::vector<MemoryFile>* files) {
    for (const auto& child : folder.children) {
        path->push_back(child.second->name);
        if (child.second->folder) {
            Collect(*child.second, path, files);
        } else {
            files->push_back(MemoryFile{Joined(*path), child.second->data, child.second->lastWrite,
                                        child.second->readOnly});
        }
        path->pop_back();
    }
}

}  // namespace

FileHandle FileOpenRead(const WideChar* path) {
    if (Faulted(FAULT_OPEN_READ)) return NO_FILE;
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place place = Find(tree, path);
    if (place.error) return FailOpen(place.error);
    if (!place.node) return FailOpen(kFileNotFound);
    if (place.node->folder) return FailOpen(kAccessDenied);
    if (place.node->writers) return FailOpen(kSharingViolation);
    return Open(tree, place.node, false);
}

FileHandle FileCreateAlways(const WideChar* path) { return Create(path, CREATE_ALWAYS_MODE); }
FileHandle FileCreateNew(const WideChar* path) { return Create(path, CREATE_NEW_MODE); }

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_READ)) return false;
    OpenFile* open = Opened(file);
    if (!open) return Fail(kInvalidHandle);
    std::lock_guard<std::mutex> hold(TheTree().lock);
    if (open->write) return Fail(kAccessDenied);
    ReadFrom(open, open->position, buffer, count, done);
    open->position += *done;
    return true;
}

bool FileReadAt(FileHandle file, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_READ)) return false;
    OpenFile* open = Opened(file);
    if (!open) return Fail(kInvalidHandle);
    std::lock_guard<std::mutex> hold(TheTree().lock);
    if (open->write) return Fail(kAccessDenied);
    return ReadFrom(open, offset, buffer, count, done);
}

bool FileWrite(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
    *done = 0;
    if (Faulted(FAULT_WRITE)) return false;
    OpenFile* open = Opened(file);
    if (!open) return Fail(kInvalidHandle);
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    if (!open->write) return Fail(kAccessDenied);
    std::vector<uint8_t>& bytes = open->node->data;
    uint64_t end = open->position + count;
    uint64_t growth = end > bytes.size() ? end - bytes.size() : 0;
    if (tree.capacity && tree.used + growth > tree.capacity) return Fail(kDiskFull);
    if (growth) bytes.resize(end);
    tree.used += growth;
    if (count) memcpy(bytes.data() + open->position, data, count);
    open->position = end;
    open->node->lastWrite = Now();
    *done = count;
    return true;
}

bool FileSeek(FileHandle file, int32_t offset) {
    if (Faulted(FAULT_SEEK)) return false;
    OpenFile* open = Opened(file);
    if (!open) return Fail(kInvalidHandle);
    if (offset < 0) return Fail(kNegativeSeek);
    std::lock_guard<std::mutex> hold(TheTree().lock);
    open->position = static_cast<uint64_t>(offset);
    return true;
}

uint32_t FileSize32(FileHandle file) {
    if (Faulted(FAULT_SIZE)) return 0xFFFFFFFFu;
    OpenFile* open = Opened(file);
    if (!open) {
        SetLastErrorCode(kInvalidHandle);
        return 0xFFFFFFFFu;
    }
    std::lock_guard<std::mutex> hold(TheTree().lock);
    return static_cast<uint32_t>(open->node->data.size());
}

bool FileSetTimes(FileHandle file, const FileTime* time) {
    if (Faulted(FAULT_SET_TIMES)) return false;
    OpenFile* open = Opened(file);
    if (!open) return Fail(kInvalidHandle);
    std::lock_guard<std::mutex> hold(TheTree().lock);
    if (!open->write) return Fail(kAccessDenied);
    uint64_t ticks = (uint64_t{time->high} << 32) | time->low;
    if (ticks) open->node->lastWrite = ticks;
    return true;
}

bool FileClose(FileHandle file) {
    OpenFile* open = Opened(file);
    if (!open) return Fail(kInvalidHandle);
    {
        Tree& tree = TheTree();
        std::lock_guard<std::mutex> hold(tree.lock);
        (open->write ? open->node->writers : open->node->readers) -= 1;
        if (tree.openHandles) --tree.openHandles;
    }
    delete open;
    // As a real close, a failing one still releases the handle.
    return !Faulted(FAULT_CLOSE);
}

bool FileOrFolderExists(const WideChar* path) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place place = Find(tree, path);
    return !place.error && place.node;
}

bool DeleteFileAt(const WideChar* path) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place place = Find(tree, path);
    if (place.error) return Fail(place.error);
    if (!place.node) return Fail(kFileNotFound);
    if (place.node->folder || place.node->readOnly) return Fail(kAccessDenied);
    if (place.node->readers || place.node->writers) return Fail(kSharingViolation);
    tree.used -= place.node->data.size();
    place.folder->children.erase(Folded(place.name));
    return true;
}

bool FileReplace(const WideChar* from, const WideChar* to) {
    if (Faulted(FAULT_REPLACE)) return false;
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place source = Find(tree, from);
    if (source.error) return Fail(source.error);
    if (!source.node) return Fail(kFileNotFound);
    if (source.node->folder) return Fail(kAccessDenied);
    Place target = Find(tree, to);
    if (target.error) return Fail(target.error);
    if (!target.folder) return Fail(kAccessDenied);
    if (source.node->readers || source.node->writers) return Fail(kSharingViolation);
    if (target.node == source.node) return true;
    if (target.node) {
        if (target.node->folder) return Fail(kAccessDenied);
        if (target.node->readers || target.node->writers) return Fail(kSharingViolation);
        tree.used -= target.node->data.size();
    }
    std::shared_ptr<Node> moved = source.node;
    source.folder->children.erase(Folded(source.name));
    moved->name = target.name;
    target.folder->children[Folded(target.name)] = moved;
    return true;
}

void MemoryFilesReset() {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    tree.roots.clear();
    tree.capacity = tree.used = 0;
    tree.openHandles = tree.refusedNames = 0;
}

bool MemoryFolderCreate(const WideChar* path) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    ParsedPath parsed = Parse(path);
    if (parsed.refused) {
        ++tree.refusedNames;
        return Fail(kInvalidName);
    }
    std::shared_ptr<Node>& root = tree.roots[parsed.root];
    if (!root) {
        root = std::make_shared<Node>();
        root->folder = true;
        root->name = parsed.root;
    }
    std::shared_ptr<Node> folder = root;
    for (const std::u16string& name : parsed.names) {
        std::shared_ptr<Node>& child = folder->children[Folded(name)];
        if (!child) {
            child = std::make_shared<Node>();
            child->folder = true;
            child->name = name;
            child->lastWrite = Now();
        } else if (!child->folder) {
            return Fail(kFileExists);
        }
        folder = child;
    }
    return true;
}

bool MemoryFileStore(const WideChar* path, const void* data, size_t size) {
    FileHandle file = FileCreateAlways(path);
    if (file == NO_FILE) return false;
    bool ok = true;
    for (size_t at = 0; ok && at < size;) {
        uint32_t count = static_cast<uint32_t>(std::min<size_t>(size - at, 1u << 30)), done = 0;
        ok = FileWrite(file, static_cast<const uint8_t*>(data) + at, count, &done);
        at += done;
    }
    return FileClose(file) && ok;
}

std::vector<MemoryFile> MemoryFilesList(const WideChar* folder) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    std::vector<MemoryFile> files;
    if (folder) {
        Place place = Find(tree, folder);
        if (place.error || !place.node || !place.node->folder) return files;
        ParsedPath parsed = Parse(folder);
        std::vector<std::u16string> path;
        if (!parsed.root.empty()) path.push_back(parsed.root);
        const Node* at = tree.roots[parsed.root].get();
        for (const std::u16string& name : parsed.names) {
            at = at->children.at(Folded(name)).get();
            path.push_back(at->name);
        }
        Collect(*place.node, &path, &files);
    } else {
        for (const auto& root : tree.roots) {
            std::vector<std::u16string> path;
            if (!root.first.empty()) path.push_back(root.second->name);
            Collect(*root.second, &path, &files);
        }
    }
    std::sort(files.begin(), files.end(), [](const MemoryFile& a, const MemoryFile& b) { return a.path < b.path; });
    return files;
}

bool MemoryFileLoad(const WideChar* path, MemoryFile* file) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place place = Find(tree, path);
    if (place.error || !place.node || place.node->folder) return false;
    // The path as the names were spelled when created.
    ParsedPath parsed = Parse(path);
    std::vector<std::u16string> names;
    if (!parsed.root.empty()) names.push_back(parsed.root);
    const Node* folder = tree.roots[parsed.root].get();
    for (const std::u16string& name : parsed.names) {
        const Node* child = folder->children.at(Folded(name)).get();
        names.push_back(child->name);
        folder = child;
    }
    *file = MemoryFile{Joined(names), place.node->data, place.node->lastWrite, place.node->readOnly};
    return true;
}

bool MemoryFileSetReadOnly(const WideChar* path, bool readOnly) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    Place place = Find(tree, path);
    if (place.error || !place.node || place.node->folder) return false;
    place.node->readOnly = readOnly;
    return true;
}

void MemoryFilesSetCapacity(uint64_t bytes) {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    tree.capacity = bytes;
}

uint32_t MemoryFilesOpenHandles() {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    return tree.openHandles;
}

uint32_t MemoryFilesRefusedNames() {
    Tree& tree = TheTree();
    std::lock_guard<std::mutex> hold(tree.lock);
    return tree.refusedNames;
}
