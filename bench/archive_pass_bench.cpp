// archive_pass_bench: how close the installer's archive pass comes to a bare
// LZMA decode of the same payload, in time and in memory, and how extracting
// compares with decoding and writing the same bytes by hand.
//
// The payload is a few hundred MB of this machine's own files (shared
// libraries and headers, a sorted list), packed once at level 1 with a
// 16 MiB dictionary and kept in a cache folder until the list changes.
// See bench/README.md.
//
// usage: archive_pass_bench [--repeat N] [--cache FOLDER] [--rebuild]
#include <errno.h>
#include <fcntl.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "LzmaDec.h"
#include "pack.h"
#include "payload/archive_pass.h"
#include "payload/decode_pipeline.h"
#include "payload/payload_container.h"

namespace fs = std::filesystem;

namespace {

#ifndef BENCH_CACHE_DIR
#define BENCH_CACHE_DIR "bench-cache"
#endif

constexpr uint64_t LIBRARY_BYTES = 150ull << 20;
constexpr uint64_t TEXT_BYTES = 60ull << 20;
constexpr uint32_t DICTIONARY = 1u << 24;
constexpr int LEVEL = 1;
constexpr size_t BLOCK = 1 << 16;

[[noreturn]] void Die(const std::string& message) {
    fprintf(stderr, "archive_pass_bench: %s\n", message.c_str());
    exit(1);
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename F>
double Timed(F&& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return Seconds(std::chrono::steady_clock::now() - start);
}

// --- The payload ------------------------------------------------------------

struct Source {
    fs::path path;
    std::string name;  // relative, with slashes
    uint64_t size;
    int64_t mtime;
};

bool PlainName(const std::string& name) {
    if (name.empty() || name.size() > 200) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c > 0x7E || c == '\\') return false;
    return true;
}

std::string Folded(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// Regular files only (no links, each file once, no two of one name), sorted
// by path; taken in that order until `budget` bytes are reached.
void Collect(const fs::path& root, bool recursive, const std::function<bool(const fs::path&, uint64_t)>& accept,
             const std::string& prefix, uint64_t budget, std::set<std::string>* folded,
             std::set<std::pair<dev_t, ino_t>>* seen, std::vector<Source>* sources) {
    std::vector<fs::path> paths;
    std::error_code ec;
    auto add = [&](const fs::directory_entry& item) {
        std::error_code ignored;
        if (item.symlink_status(ignored).type() == fs::file_type::regular) paths.push_back(item.path());
    };
    if (recursive) {
        for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec))
            add(*it);
    } else {
        for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) add(*it);
    }
    std::sort(paths.begin(), paths.end());
    uint64_t taken = 0;
    for (const fs::path& path : paths) {
        if (taken >= budget) break;
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || info.st_size <= 0) continue;
        uint64_t size = static_cast<uint64_t>(info.st_size);
        if (!accept(path, size) || access(path.c_str(), R_OK) != 0) continue;
        std::string name = prefix + "/" + path.lexically_relative(root).string();
        // The installer puts every file straight into one folder: the file
        // names must differ, letter case aside.
        if (!PlainName(name) || !folded->insert(Folded(path.filename().string())).second) continue;
        if (!seen->insert({info.st_dev, info.st_ino}).second) continue;
        sources->push_back({path, name, size, static_cast<int64_t>(info.st_mtime)});
        taken += size;
    }
}

std::vector<Source> SelectSources() {
    std::vector<Source> sources;
    std::set<std::string> folded;
    std::set<std::pair<dev_t, ino_t>> seen;
    Collect("/usr/lib/x86_64-linux-gnu", false,
            [](const fs::path& path, uint64_t size) {
                return path.filename().string().find(".so") != std::string::npos && size >= (16u << 10) &&
                       size <= (8u << 20);
            },
            "lib", LIBRARY_BYTES, &folded, &seen, &sources);
    Collect("/usr/include", true, [](const fs::path&, uint64_t) { return true; }, "include", TEXT_BYTES, &folded,
            &seen, &sources);
    if (sources.size() < 100) Collect("/usr/share/doc", true, [](const fs::path&, uint64_t) { return true; }, "doc",
                                      TEXT_BYTES, &folded, &seen, &sources);
    return sources;
}

std::string Manifest(const std::vector<Source>& sources) {
    std::ostringstream out;
    out << "archive_pass_bench payload 1\nlevel " << LEVEL << "\ndictionary " << DICTIONARY << "\n";
    for (const Source& s : sources) out << s.path.string() << '\t' << s.size << '\t' << s.mtime << '\n';
    return out.str();
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) Die("cannot write " + path.string());
}

// Packs the sources into cache/payload.setup unless the cached one was made
// from the same list. Returns whether it packed.
bool PreparePayload(const fs::path& cache, const std::vector<Source>& sources, bool rebuild) {
    fs::path setup = cache / "payload.setup", manifestPath = cache / "payload.manifest";
    std::string manifest = Manifest(sources);
    std::error_code ec;
    if (!rebuild && fs::exists(setup, ec) && fs::exists(manifestPath, ec) && ReadText(manifestPath) == manifest)
        return false;

    fs::remove(manifestPath, ec);
    fs::path product = cache / "product";
    fs::remove_all(product, ec);
    for (const Source& s : sources) {
        fs::path link = product / s.name;
        fs::create_directories(link.parent_path(), ec);
        fs::create_symlink(s.path, link, ec);
        if (ec) Die("cannot link " + link.string() + ": " + ec.message());
    }
    WriteText(cache / "stub.bin", std::string(4096, '\0'));

    PackOptions options;
    options.stub = cache / "stub.bin";
    options.output = setup;
    options.folder = product;
    options.productCode = "BEN";
    options.windowClass = "BenchWindow";
    options.mainProgram = "bench.exe";
    options.year = 2024;
    options.month = 1;
    options.day = 15;
    options.lzma.level = LEVEL;
    options.lzma.dictionarySize = DICTIONARY;
    options.progress = isatty(2);
    printf("packing %zu files into %s (level %d, %u MiB dictionary)...\n", sources.size(), setup.c_str(), LEVEL,
           DICTIONARY >> 20);
    fflush(stdout);
    std::string error;
    double seconds = Timed([&] { error = PackSetup(options); });
    if (!error.empty()) Die("packing failed: " + error);
    printf("packed in %.1f s\n", seconds);
    WriteText(manifestPath, manifest);
    return true;
}

// --- What is measured ---------------------------------------------------------

std::u16string Wide(const std::string& ascii) {
    for (unsigned char c : ascii)
        if (c >= 0x80) Die("the cache path must be ASCII: " + ascii);
    return std::u16string(ascii.begin(), ascii.end());
}

struct EntryShape {
    uint32_t size;
    uint32_t nameLength;
};

// The stream's layout as the pass reports it, so that the hand-made
// extraction can cut the decoded bytes into the same files.
struct Layout {
    uint32_t archiveHeaderSize = 0;
    std::vector<EntryShape> entries;
    uint64_t dataBytes = 0;
    uint64_t streamBytes = 0;
};

int32_t WritesNothing(WideChar*, const uint8_t*, uint32_t, void*) { return 0; }

int32_t RecordsShape(WideChar* path, const uint8_t* preview, uint32_t size, void* userData) {
    if (preview) return 0;
    uint32_t length = 0;
    while (path[length]) ++length;
    static_cast<Layout*>(userData)->entries.push_back({size, length});
    return 0;
}

struct ExtractTarget {
    std::u16string folder;
    uint32_t next = 0;
};

int32_t ExtractsEverything(WideChar* path, const uint8_t* preview, uint32_t, void* userData) {
    if (preview) return 0;
    ExtractTarget* target = static_cast<ExtractTarget*>(userData);
    std::string number = std::to_string(++target->next);
    std::u16string name = target->folder + u"/" + std::u16string(number.begin(), number.end());
    memcpy(path, name.c_str(), (name.size() + 1) * sizeof(WideChar));
    return 1;
}

int32_t PassOver(const std::u16string& setup, EntryHandler handler, void* userData, ArchiveReader* keep = nullptr) {
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader);
    int32_t result = RunArchivePassOn(reader.get(), setup.c_str(), handler, userData);
    if (keep) *keep = *reader;
    return result;
}

// A pass with options over the setup file: decoded beside the reader, or
// keeping the stream, or replaying what was kept.
int32_t PassWith(const std::u16string& setup, EntryHandler handler, void* userData, const PassOptions& options) {
    FileHandle file = FileOpenRead(setup.c_str());
    if (file == NO_FILE) return -1;
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader);
    int32_t result = RunPass(reader.get(), file, handler, userData, &options);
    FileClose(file);
    return result;
}

// Cuts the decoded stream into one file per entry, as extracting does.
class EntryFiles {
public:
    EntryFiles(const Layout& layout, std::string folder)
        : layout_(layout), folder_(std::move(folder)), skip_(layout.archiveHeaderSize) {
        BeginEntry();
    }
    ~EntryFiles() {
        if (fd_ >= 0) close(fd_);
    }

    void Write(const uint8_t* data, size_t size) {
        while (size > 0 && next_ < layout_.entries.size()) {
            if (skip_ > 0) {
                size_t n = std::min<size_t>(skip_, size);
                skip_ -= n;
                data += n;
                size -= n;
                if (skip_ == 0) Open();
                continue;
            }
            size_t n = std::min<size_t>(left_, size);
            for (size_t done = 0; done < n;) {
                ssize_t went = write(fd_, data + done, n - done);
                if (went <= 0) Die(std::string("writing an entry failed: ") + strerror(errno));
                done += static_cast<size_t>(went);
            }
            written_ += n;
            left_ -= n;
            data += n;
            size -= n;
            if (left_ == 0) Finish();
        }
    }

    uint64_t written() const { return written_; }

private:
    void BeginEntry() {
        if (next_ < layout_.entries.size()) skip_ += 4 + layout_.entries[next_].nameLength + 1;
    }
    void Open() {
        std::string path = folder_ + "/" + std::to_string(next_ + 1);
        fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) Die("cannot create " + path + ": " + strerror(errno));
        left_ = layout_.entries[next_].size;
        if (left_ == 0) Finish();
    }
    void Finish() {
        close(fd_);
        fd_ = -1;
        ++next_;
        BeginEntry();
        if (skip_ == 0 && next_ < layout_.entries.size()) Open();
    }

    const Layout& layout_;
    std::string folder_;
    size_t next_ = 0;
    uint64_t skip_;
    uint64_t left_ = 0;
    uint64_t written_ = 0;
    int fd_ = -1;
};

void* LzmaAlloc(void*, size_t size) { return size ? malloc(size) : nullptr; }
void LzmaFree(void*, void* block) { free(block); }

bool ReadFull(int fd, uint8_t* buffer, size_t count) {
    while (count > 0) {
        ssize_t got = read(fd, buffer, count);
        if (got <= 0) return false;
        buffer += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

// The decoder alone, as the pass drives it: 64 KiB in, 64 KiB out, from the
// stream header on. Returns the number of bytes decoded.
uint64_t BareDecode(const std::string& setup, uint32_t payloadOffset, EntryFiles* files) {
    int fd = open(setup.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || lseek(fd, payloadOffset, SEEK_SET) < 0) Die("cannot read " + setup);
    uint8_t header[STREAM_HEADER_SIZE];
    if (!ReadFull(fd, header, sizeof header)) Die("cannot read the stream header");
    uint32_t unpacked = ReadBigEndian32(header + 5);
    ISzAlloc alloc = {LzmaAlloc, LzmaFree};
    CLzmaDec decoder;
    LzmaDec_Construct(&decoder);
    if (LzmaDec_Allocate(&decoder, header, LZMA_PROPS_SIZE, &alloc) != SZ_OK) Die("the decoder cannot start");
    LzmaDec_Init(&decoder);
    std::unique_ptr<uint8_t[]> input(new uint8_t[BLOCK]), output(new uint8_t[BLOCK]);
    uint64_t decoded = 0;
    size_t inPos = 0, inSize = 0;
    while (unpacked > 0) {
        if (inPos == inSize) {
            ssize_t got = read(fd, input.get(), BLOCK);
            if (got <= 0) break;
            inSize = static_cast<size_t>(got);
            inPos = 0;
        }
        SizeT outLen = std::min<SizeT>(BLOCK, unpacked);
        SizeT inLen = inSize - inPos;
        ELzmaStatus status;
        SRes result = LzmaDec_DecodeToBuf(&decoder, output.get(), &outLen, input.get() + inPos, &inLen,
                                          unpacked < BLOCK ? LZMA_FINISH_END : LZMA_FINISH_ANY, &status);
        if (result != SZ_OK) Die("the payload does not decode");
        inPos += inLen;
        unpacked -= static_cast<uint32_t>(outLen);
        decoded += outLen;
        if (files) files->Write(output.get(), outLen);
        if (inLen == 0 && outLen == 0) break;
    }
    LzmaDec_Free(&decoder, &alloc);
    close(fd);
    return decoded;
}

void ResetFolder(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    if (ec) Die("cannot create " + folder.string());
    sync();  // earlier runs' files are not written back during the next one
}

// --- Memory -------------------------------------------------------------------

long StatusKiB(const char* field) {
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long value = -1;
    size_t length = strlen(field);
    while (fgets(line, sizeof line, status))
        if (strncmp(line, field, length) == 0 && line[length] == ':') value = atol(line + length + 1);
    fclose(status);
    return value;
}

// Runs `work` in a child and returns how far its resident set rose above
// where it stood after the fork, in KiB: the peak counter is reset in the
// child where the kernel allows it, or else ru_maxrss is taken against the
// size at the start.
long PeakGrowthKiB(const std::function<void()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) Die("pipe failed");
    fflush(stdout);
    pid_t child = fork();
    if (child < 0) Die("fork failed");
    if (child == 0) {
        close(pipeFds[0]);
        int clear = open("/proc/self/clear_refs", O_WRONLY);
        bool reset = clear >= 0 && write(clear, "5", 1) == 1;
        if (clear >= 0) close(clear);
        long start = reset ? StatusKiB("VmHWM") : StatusKiB("VmRSS");
        work();
        long peak = StatusKiB("VmHWM");
        if (!reset) {
            struct rusage usage;
            getrusage(RUSAGE_SELF, &usage);
            peak = std::max(peak, static_cast<long>(usage.ru_maxrss));
        }
        long growth = peak - start;
        ssize_t ignored = write(pipeFds[1], &growth, sizeof growth);
        (void)ignored;
        _exit(0);
    }
    close(pipeFds[1]);
    long growth = -1;
    if (read(pipeFds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Die("the measuring child failed");
    return growth;
}

// Runs `work` in a child process, as an installer would run it: its memory
// starts fresh, so page faults count as they would. Returns the seconds that
// `work` reports (it times what it wants timed), or dies.
double SecondsInChild(const std::function<double()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) Die("pipe failed");
    fflush(stdout);
    pid_t child = fork();
    if (child < 0) Die("fork failed");
    if (child == 0) {
        close(pipeFds[0]);
        double seconds = work();
        ssize_t ignored = write(pipeFds[1], &seconds, sizeof seconds);
        (void)ignored;
        _exit(0);
    }
    close(pipeFds[1]);
    double seconds = -1;
    if (read(pipeFds[0], &seconds, sizeof seconds) != sizeof seconds) seconds = -1;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || seconds < 0) Die("the measuring child failed");
    return seconds;
}

// --- Reporting ----------------------------------------------------------------

double MB(uint64_t bytes) { return bytes / 1e6; }

void Row(const char* label, double seconds, uint64_t bytes) {
    printf("  %-40s %8.3f s  %7.1f MB/s\n", label, seconds, MB(bytes) / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 3;
    fs::path cache = BENCH_CACHE_DIR;
    bool rebuild = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, atoi(argv[++i]));
        } else if (arg == "--cache" && i + 1 < argc) {
            cache = argv[++i];
        } else if (arg == "--rebuild") {
            rebuild = true;
        } else {
            fprintf(stderr, "usage: archive_pass_bench [--repeat N] [--cache FOLDER] [--rebuild]\n");
            return 2;
        }
    }
    // A fresh installer maps its dictionary anew; glibc would otherwise raise
    // its mapping threshold after the first free and keep later dictionaries
    // in a heap that stays resident, hiding them from the memory figures.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);

    std::error_code ec;
    fs::create_directories(cache, ec);
    cache = fs::absolute(cache);

    std::vector<Source> sources = SelectSources();
    uint64_t sourceBytes = 0;
    for (const Source& s : sources) sourceBytes += s.size;
    if (sources.empty()) Die("found no files to pack");
    bool packed = PreparePayload(cache, sources, rebuild);

    std::string setup = (cache / "payload.setup").string();
    std::u16string wideSetup = Wide(setup);
    fs::path extract = cache / "extract";
    ExtractTarget target{Wide(extract.string())};
    uint64_t setupBytes = fs::file_size(setup);

    // An untimed first pass: checks the payload, learns its layout and brings
    // the file into the page cache.
    Layout layout;
    ArchiveReader reader;
    int32_t result = PassOver(wideSetup, RecordsShape, &layout, &reader);
    if (result != 0) Die("the pass over the payload failed with " + std::to_string(result));
    if (layout.entries.size() != sources.size())
        Die("the payload holds " + std::to_string(layout.entries.size()) + " entries, not " +
            std::to_string(sources.size()));
    layout.archiveHeaderSize = static_cast<uint32_t>(4 + strlen(reader.productCode) + 1 + strlen(reader.windowClass) +
                                                     1 + strlen(reader.mainProgram) + 1 + 4);
    layout.streamBytes = layout.archiveHeaderSize;
    for (const EntryShape& e : layout.entries) {
        layout.dataBytes += e.size;
        layout.streamBytes += 4 + e.nameLength + 1 + e.size;
    }
    FileHandle handle = FileOpenRead(wideSetup.c_str());
    uint32_t payloadOffset = FindPayloadOffset(handle, FileSize32(handle));
    FileClose(handle);
    if (BareDecode(setup, payloadOffset, nullptr) != layout.streamBytes) Die("the bare decode came out short");

    printf("payload: %zu entries, %.1f MB of files, %.1f MB decoded, %.1f MB packed (level %d, %u MiB dictionary)\n",
           layout.entries.size(), MB(layout.dataBytes), MB(layout.streamBytes), MB(setupBytes), LEVEL,
           DICTIONARY >> 20);
    printf("  cache: %s (%s)\n", cache.c_str(), packed ? "packed now" : "reused");
    printf("time, best of %d (MB/s of the decoded stream)\n", repeat);

    double pass = 1e9, bare = 1e9, extracting = 1e9, byHand = 1e9, beside = 1e9, keeping = 1e9, replaying = 1e9;
    for (int round = 0; round < repeat; ++round) {
        pass = std::min(pass, Timed([&] {
                            if (PassOver(wideSetup, WritesNothing, nullptr) != 0) Die("the pass failed");
                        }));
        bare = std::min(bare, Timed([&] { BareDecode(setup, payloadOffset, nullptr); }));

        ResetFolder(extract);
        target.next = 0;
        extracting = std::min(extracting, Timed([&] {
                                  if (PassOver(wideSetup, ExtractsEverything, &target) != 0)
                                      Die("the extracting pass failed");
                              }));
        ResetFolder(extract);
        uint64_t written = 0;
        byHand = std::min(byHand, Timed([&] {
                              EntryFiles files(layout, extract.string());
                              BareDecode(setup, payloadOffset, &files);
                              written = files.written();
                          }));
        if (written != layout.dataBytes) Die("the hand-made extraction wrote " + std::to_string(written) + " bytes");

        // The installer's ways, each in a process of its own: decoding beside
        // the reader, and a check that keeps the stream followed by the
        // install that replays it.
        ResetFolder(extract);
        beside = std::min(beside, SecondsInChild([&] {
                              ExtractTarget t{target.folder};
                              PassOptions options = {};
                              options.pipelined = true;
                              double seconds = Timed([&] {
                                  if (PassWith(wideSetup, ExtractsEverything, &t, options) != 0) _exit(1);
                              });
                              return seconds;
                          }));
        ResetFolder(extract);
        replaying = std::min(replaying, SecondsInChild([&] {
                                 StreamCache cache = {};
                                 cache.budget = 1u << 30;
                                 PassOptions keep = {};
                                 keep.keep = &cache;
                                 double check = Timed([&] {
                                     if (PassWith(wideSetup, WritesNothing, nullptr, keep) != 0) _exit(1);
                                 });
                                 if (!cache.complete) _exit(1);
                                 ExtractTarget t{target.folder};
                                 PassOptions replay = {};
                                 replay.replay = &cache;
                                 double seconds = Timed([&] {
                                     if (PassWith(wideSetup, ExtractsEverything, &t, replay) != 0) _exit(1);
                                 });
                                 (void)check;
                                 return seconds;
                             }));
        keeping = std::min(keeping, SecondsInChild([&] {
                               StreamCache cache = {};
                               cache.budget = 1u << 30;
                               PassOptions keep = {};
                               keep.keep = &cache;
                               return Timed([&] {
                                   if (PassWith(wideSetup, WritesNothing, nullptr, keep) != 0) _exit(1);
                               });
                           }));
    }
    fs::remove_all(extract, ec);

    Row("(1) archive pass, writing nothing", pass, layout.streamBytes);
    Row("(2) bare LZMA decode", bare, layout.streamBytes);
    printf("      pass / bare decode                   %8.3f  (%+.1f%%)\n", pass / bare, (pass / bare - 1) * 100);
    Row("(3) archive pass, extracting every entry", extracting, layout.streamBytes);
    Row("(4) bare decode + writing the same files", byHand, layout.streamBytes);
    printf("      extract / (decode + write)           %8.3f  (%+.1f%%)\n", extracting / byHand,
           (extracting / byHand - 1) * 100);
    Row("(5) extracting, decoded beside the reader", beside, layout.streamBytes);
    printf("      beside / (decode + write)            %8.3f  (%+.1f%%)\n", beside / byHand, (beside / byHand - 1) * 100);
    Row("(6) the check keeping the stream", keeping, layout.streamBytes);
    printf("      keeping check / plain check          %8.3f  (%+.1f%%)\n", keeping / pass, (keeping / pass - 1) * 100);
    Row("(7) extracting, replaying the kept stream", replaying, layout.streamBytes);
    printf("      replay / (decode + write)            %8.3f  (%+.1f%%)\n", replaying / byHand,
           (replaying / byHand - 1) * 100);

    long idle = PeakGrowthKiB([] {});
    long passPeak = PeakGrowthKiB([&] {
        if (PassOver(wideSetup, WritesNothing, nullptr) != 0) _exit(1);
    });
    long barePeak = PeakGrowthKiB([&] { BareDecode(setup, payloadOffset, nullptr); });
    long besidePeak = PeakGrowthKiB([&] {
        ExtractTarget t{target.folder};
        ResetFolder(extract);
        PassOptions options = {};
        options.pipelined = true;
        if (PassWith(wideSetup, ExtractsEverything, &t, options) != 0) _exit(1);
    });
    long keepingPeak = PeakGrowthKiB([&] {
        StreamCache cache = {};
        cache.budget = 1u << 30;
        PassOptions keep = {};
        keep.keep = &cache;
        if (PassWith(wideSetup, WritesNothing, nullptr, keep) != 0) _exit(1);
    });
    fs::remove_all(extract, ec);
    printf("peak memory (resident set growth in a child, over an idle child's %ld KiB)\n", idle);
    printf("  %-40s %8.1f MiB\n", "archive pass", (passPeak - idle) / 1024.0);
    printf("  %-40s %8.1f MiB\n", "bare LZMA decode", (barePeak - idle) / 1024.0);
    printf("  %-40s %8.1f MiB\n", "extracting, decoded beside the reader", (besidePeak - idle) / 1024.0);
    printf("  %-40s %8.1f MiB  (the stream is %.1f MiB)\n", "the check keeping the stream",
           (keepingPeak - idle) / 1024.0, layout.streamBytes / 1048576.0);

    double slower = (pass / bare - 1) * 100;
    double limit = (DICTIONARY >> 10) + 1024;
    printf("targets\n");
    printf("  pass within 3%% of the bare decode:       %+.1f%%      %s\n", slower, slower <= 3 ? "met" : "NOT MET");
    printf("  pass peak within dictionary + 1 MiB:     %.1f of %.1f MiB  %s\n", (passPeak - idle) / 1024.0,
           limit / 1024, passPeak - idle <= limit ? "met" : "NOT MET");
    return 0;
}
