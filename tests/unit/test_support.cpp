#include "test_support.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "text_encoding.h"

WideString Wide(const fs::path& path) { return WidePath(path); }

std::string Utf8(const WideChar* text) { return WideToUtf8(text); }

TempDir::TempDir() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long process = GetCurrentProcessId();
#else
    unsigned long process = static_cast<unsigned long>(getpid());
#endif
    path_ = fs::temp_directory_path() /
            ("setup-test-" + std::to_string(process) + "-" + std::to_string(counter++));
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Sequence(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 7 == 0 ? random() : 'a' + random() % 4);
    return bytes;
}

uint64_t Ticks(const FileTime& time) { return (static_cast<uint64_t>(time.high) << 32) | time.low; }

uint64_t LastWriteTicks(const fs::path& path) {
#ifdef _WIN32
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
#else
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return 0;
    return (static_cast<uint64_t>(info.st_mtim.tv_sec) + 11644473600ULL) * 10000000ULL + info.st_mtim.tv_nsec / 100;
#endif
}

TestArchive::TestArchive() { header.date = PackageDateValue(2012, 12, 31); }

TestArchive& TestArchive::Add(const std::string& name, const Bytes& data) {
    entries.push_back(TestEntry{name, data});
    return *this;
}

uint32_t TestArchive::Checksum() const {
    uint32_t sum = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        uint64_t bytes = 0;
        for (uint8_t b : entries[i].data) bytes += b;
        sum += EntryChecksum(static_cast<uint32_t>(i + 1), entries[i].name, entries[i].data.size(), bytes);
    }
    return sum + static_cast<uint32_t>(checksumOffset);
}

Bytes TestArchive::Stream() const {
    ArchiveHeaderFields fields = header;
    fields.checksum = Checksum();
    Bytes out;
    AppendArchiveHeader(out, fields);
    for (const TestEntry& entry : entries) {
        AppendStoredNumber(out, static_cast<uint32_t>(entry.data.size()));
        AppendStoredText(out, entry.name);
        AppendStoredData(out, entry.data.data(), entry.data.size());
    }
    return out;
}

Bytes ExampleStream() {
    return Bytes{0x00, 0x00, 0x01, 0x8A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02,
                 0x82, 0x00, 0x00, 0x00, 0xF1, 0x64, 0x00, 0xB4, 0xB5};
}

Bytes MakeSetup(const Bytes& archiveStream, size_t stubSize) {
    Bytes setup;
    LzmaSettings settings;
    settings.level = 1;
    settings.dictionarySize = 1 << 20;
    std::string error = BuildSetupFile(Bytes(stubSize, 0), archiveStream, settings, &setup);
    if (!error.empty()) fprintf(stderr, "MakeSetup: %s\n", error.c_str());
    return setup;
}

int32_t Recorder::Handle(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* self) {
    Recorder* recorder = static_cast<Recorder*>(self);
    HandlerCall call{Utf8(pathBuffer), preview != nullptr, size, Bytes()};
    if (preview) call.bytes.assign(preview, preview + size);
    recorder->calls.push_back(call);
    if (preview || recorder->outputFolder.empty()) return 0;
    if (recorder->emptyPath) {
        pathBuffer[0] = 0;
        return 1;
    }
    std::string name = call.name.substr(call.name.find_last_of("\\/") + 1);
    WideString target = Wide(recorder->outputFolder / fs::u8path(name));
    if (target.size() >= NAME_CAPACITY) return 0;
    std::copy(target.c_str(), target.c_str() + target.size() + 1, pathBuffer);
    return recorder->answer;
}

void StartReader(ArchiveReader* reader, Recorder* recorder) { StartArchiveReader(reader, Recorder::Handle, recorder); }

std::vector<int32_t> FeedInBlocks(ArchiveReader* reader, Bytes stream, const std::vector<uint32_t>& lengths,
                                  Recorder* recorder) {
    StartReader(reader, recorder);
    std::vector<int32_t> results;
    size_t at = 0;
    for (size_t i = 0; at < stream.size() || i < lengths.size(); ++i) {
        uint32_t length = lengths[i < lengths.size() ? i : lengths.size() - 1];
        if (length == 0 && i >= lengths.size()) length = 1;
        length = static_cast<uint32_t>(std::min<size_t>(length, stream.size() - at));
        // The reader restores data in place, as in the decoder's block.
        results.push_back(ArchiveFeed(stream.data() + at, length, reader));
        at += length;
        if (results.back() != 0) break;
    }
    return results;
}

int32_t MemorySource::Read(void* self, uint8_t* buffer, uint32_t* count) {
    MemorySource* source = static_cast<MemorySource*>(self);
    if (source->at >= source->failAfter) {
        *count = 0;
        return source->failure;
    }
    size_t chunk = source->chunk;
    if (source->seed) {
        source->seed = source->seed * 1103515245u + 12345u;
        chunk = 1 + (source->seed >> 8) % source->chunk;
    }
    size_t n = std::min<size_t>({*count, chunk, source->bytes.size() - source->at, source->failAfter - source->at});
    if (n) memcpy(buffer, source->bytes.data() + source->at, n);
    source->at += n;
    *count = static_cast<uint32_t>(n);
    return 0;
}

uint32_t BlockSink::Write(void* self, uint8_t* block, uint32_t length) {
    BlockSink* sink = static_cast<BlockSink*>(self);
    if (sink->lengths.size() == sink->refuseAt) return 0;
    sink->lengths.push_back(length);
    sink->bytes.insert(sink->bytes.end(), block, block + length);
    return length;
}

void BlockSink::Begin(void* self, uint32_t unpackedSize) { static_cast<BlockSink*>(self)->begun = unpackedSize + 1; }

Bytes Encode(const Bytes& plain) {
    Bytes encoded;
    size_t at = 0;
    LzmaSettings settings;
    settings.level = 1;
    settings.dictionarySize = 1 << 20;
    std::string error = EncodeLzmaStream(
        [&](uint8_t* buffer, size_t room, size_t* produced) {
            *produced = std::min(room, plain.size() - at);
            if (*produced) memcpy(buffer, plain.data() + at, *produced);
            at += *produced;
            return true;
        },
        static_cast<uint32_t>(plain.size()), settings,
        [&](const uint8_t* data, size_t size) {
            encoded.insert(encoded.end(), data, data + size);
            return true;
        },
        nullptr);
    if (!error.empty()) fprintf(stderr, "Encode: %s\n", error.c_str());
    return encoded;
}
