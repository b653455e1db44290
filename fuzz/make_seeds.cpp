// Writes the seed corpora of the fuzz targets, one folder each under the
// given one: sound archive streams (fuzz_archive_feed, behind a block-length
// prefix), the payloads of setup files made from them (fuzz_archive_pass and
// fuzz_setup_tools, behind their mode bytes), names (fuzz_name_rule),
// description and language files (fuzz_package_text), and folders of names
// with order files (fuzz_packer_names).
//
// usage: fuzz_make_seeds FOLDER
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "LzmaEnc.h"
#include "archive_writer.h"
#include "payload/payload_container.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;  // Windows-1252
    Bytes data;
};

struct Archive {
    const char* label;
    ArchiveHeaderFields header;
    std::vector<Entry> entries;
    bool wrongChecksum = false;
};

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        // Runs of repeats among noise, so that the encoder makes both literals and matches.
        bytes[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(i / 64) : static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Windows-1252 text as UTF-16LE, without a byte-order mark.
Bytes Utf16(const std::string& text) {
    Bytes bytes;
    for (unsigned char c : text) {
        bytes.push_back(c);
        bytes.push_back(0);
    }
    return bytes;
}

Bytes Stream(const Archive& archive) {
    ArchiveHeaderFields header = archive.header;
    header.checksum = 0;
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const Entry& entry = archive.entries[i];
        uint64_t sum = 0;
        for (uint8_t b : entry.data) sum += b;
        header.checksum += EntryChecksum(static_cast<uint32_t>(i + 1), entry.name, entry.data.size(), sum);
    }
    if (archive.wrongChecksum) header.checksum += 1;
    Bytes stream;
    AppendArchiveHeader(stream, header);
    for (const Entry& entry : archive.entries) {
        AppendStoredNumber(stream, static_cast<uint32_t>(entry.data.size()));
        AppendStoredText(stream, entry.name);
        AppendStoredData(stream, entry.data.data(), entry.data.size());
    }
    return stream;
}

ArchiveHeaderFields Header(const char* code, const char* windowClass, const char* program, int y, int m, int d) {
    ArchiveHeaderFields header;
    header.productCode = code;
    header.windowClass = windowClass;
    header.mainProgram = program;
    header.date = PackageDateValue(y, m, d);
    return header;
}

std::vector<Archive> Archives() {
    std::vector<Archive> archives;
    archives.push_back({"typical",
                        Header("NSV", "NsvMainWindow", "nsv.exe", 2024, 3, 15),
                        {{"64\\nsv.exe", Pattern(1500, 1)},
                         {"FILE_ID.DIZ", Text("Example product 2.0\r\nPlatform: 64-bit\r\n")},
                         {"empty.txt", {}},
                         {"docs\\readme.txt", Text(std::string(300, 'r'))},
                         {"data\\table.bin", Pattern(2100, 2)}}});
    archives.push_back({"header-only", Header("A", "", "", 2012, 1, 1), {}});
    archives.push_back({"long-name",
                        Header("LN", "W", "p.exe", 2030, 12, 31),
                        {{std::string(1018, 'n'), Pattern(40, 3)}, {"after", Pattern(1100, 4)}}});
    archives.push_back({"too-long-name",
                        Header("TL", "W", "p.exe", 2020, 2, 29),
                        {{"before", Pattern(10, 5)}, {std::string(1023, 'x'), Pattern(20, 6)}, {"z", {7}}}});
    // Texts at their capacity, bytes beyond ASCII, a date that is no day.
    archives.push_back({"cp1252",
                        Header("\xC4\xD6\x80", std::string(31, 'w').c_str(), "\xE9t\xE9.exe", 2025, 2, 30),
                        {{"caf\xE9\\\x80uro.txt", Pattern(1024, 7)}, {"\xFF\x81", Pattern(1025, 8)}}});
    Archive many{"many-small", Header("MS", "C", "m.exe", 2019, 6, 1), {}};
    for (int i = 0; i < 20; ++i)
        many.entries.push_back({"f" + std::to_string(i), i % 3 == 0 ? Bytes() : Pattern(i, static_cast<uint8_t>(i))});
    many.entries.push_back({"last", {1, 2, 3}});
    archives.push_back(many);
    Archive wrong = archives[0];
    wrong.label = "wrong-checksum";
    wrong.wrongChecksum = true;
    archives.push_back(wrong);
    return archives;
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0) {
        fprintf(stderr, "fuzz_make_seeds: cannot write %s\n", path.c_str());
        exit(1);
    }
}

Bytes Join(Bytes front, const Bytes& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// What follows the signature in a setup file holding this stream.
Bytes Payload(const Bytes& stream, const LzmaSettings& settings) {
    Bytes setup;
    std::string error = BuildSetupFile(Bytes{'M', 'Z'}, stream, settings, &setup);
    if (!error.empty()) {
        fprintf(stderr, "fuzz_make_seeds: %s\n", error.c_str());
        exit(1);
    }
    return Bytes(setup.begin() + PAYLOAD_SEARCH_START + 4, setup.end());
}

void* Allocate(void*, size_t size) { return size ? malloc(size) : nullptr; }
void Release(void*, void* block) { free(block); }

// The packer never writes an end marker; other packers may, with or without
// the size. unpacked = 0xFFFFFFFF leaves the marker alone to end the stream.
Bytes PayloadWithEndMarker(const Bytes& stream, uint32_t unpacked) {
    ISzAlloc alloc = {Allocate, Release};
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = 5;
    props.dictSize = 1 << 16;
    Bytes payload(STREAM_HEADER_SIZE + stream.size() + stream.size() / 2 + 1024);
    SizeT propsSize = LZMA_PROPS_SIZE;
    SizeT destLength = payload.size() - STREAM_HEADER_SIZE;
    SRes result = LzmaEncode(&payload[STREAM_HEADER_SIZE], &destLength, stream.data(), stream.size(), &props,
                             payload.data(), &propsSize, 1, nullptr, &alloc, &alloc);
    if (result != SZ_OK) {
        fprintf(stderr, "fuzz_make_seeds: the encoder failed (%d)\n", result);
        exit(1);
    }
    for (int i = 0; i < 4; ++i) payload[5 + i] = static_cast<uint8_t>(unpacked >> (24 - 8 * i));
    payload.resize(STREAM_HEADER_SIZE + destLength);
    return payload;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: fuzz_make_seeds FOLDER\n");
        return 2;
    }
    fs::path root = argv[1];
    fs::path feed = root / "fuzz_archive_feed", pass = root / "fuzz_archive_pass", tools = root / "fuzz_setup_tools";
    for (const char* target : {"fuzz_archive_feed", "fuzz_archive_pass", "fuzz_setup_tools", "fuzz_name_rule",
                               "fuzz_package_text", "fuzz_packer_names"})
        fs::create_directories(root / target);

    // writeMask, failMask, n, n lengths (see fuzz_archive_feed.cpp).
    const Bytes configs[] = {
        {0x00, 0x00, 0},
        {0x55, 0x00, 5, 1, 0, 7, 200, 0xF3},
        {0xFF, 0x20, 3, 0, 1, 2},
        {0x0F, 0xF0, 4, 13, 0, 0xF0, 3},
    };
    LzmaSettings small;
    small.level = 5;
    small.dictionarySize = 1 << 16;
    LzmaSettings smallest;
    smallest.level = 1;
    smallest.dictionarySize = 1 << 12;

    std::vector<Archive> archives = Archives();
    for (size_t i = 0; i < archives.size(); ++i) {
        const Archive& archive = archives[i];
        Bytes stream = Stream(archive);
        for (size_t c = 0; c < 2; ++c) {
            size_t which = (i + c * 2) % 4;
            WriteFile(feed / (std::string(archive.label) + "-" + std::to_string(which)), Join(configs[which], stream));
        }
        WriteFile(pass / archive.label, Join({0}, Payload(stream, i % 2 ? smallest : small)));
    }

    Bytes typical = Stream(archives[0]);
    Bytes payload = Payload(typical, small);
    // Mode 2: a signature before the search start, which does not count, and
    // a partial one just before the real one at 89999.
    Bytes near{2, 0};
    Bytes lead(64, 0x11);
    memcpy(&lead[10], PAYLOAD_SIGNATURE, 4);
    memcpy(&lead[60], PAYLOAD_SIGNATURE, 3);
    near = Join(Join(near, lead), Bytes(PAYLOAD_SIGNATURE, PAYLOAD_SIGNATURE + 4));
    WriteFile(pass / "signature-near-start", Join(near, payload));
    WriteFile(pass / "end-marker", Join({1}, PayloadWithEndMarker(typical, static_cast<uint32_t>(typical.size()))));
    WriteFile(pass / "end-marker-no-size", Join({1}, PayloadWithEndMarker(typical, 0xFFFFFFFFu)));
    WriteFile(pass / "truncated", Join({0}, Bytes(payload.begin(), payload.begin() + payload.size() / 2)));
    WriteFile(pass / "no-payload", Join({3}, Text("MZ, but far too short to hold a payload")));

    // A product as the packer makes it, for the tools: description, languages,
    // both platforms, an uninstaller; under each platform and language choice.
    Archive product{"product", Header("NVP", "NvpWindow", "", 2026, 12, 11),
                    {{"32\\Nvp.ini", Text("[32]")},
                     {"64\\Nvp.ini", Text("[64]")},
                     {"FILE_ID.DIZ", Text("Norvalent Probe Version 1.0 (build 3)\r\nfor 32/64 bit Windows 11\r\n")},
                     {"Nvp_DE.LNG", Text("Language=Deutsch (German)\r\n")},
                     {"Nvp_IT.LNG", Join({0xFF, 0xFE}, Utf16("Language=Italiano (Italian)\r\n"))},
                     {"Nvp_IT.CHM", Pattern(300, 9)},
                     {"ReadMe.txt", Text("read me")},
                     {"readme.TXT", Text("the later one")},
                     {"UnInst.exe", Pattern(600, 10)},
                     {"64\\Nvp.exe", Pattern(900, 11)},
                     {"32\\Nvp.exe", Pattern(800, 12)}}};
    archives.push_back(product);
    for (size_t i = 0; i < archives.size(); ++i) {
        Bytes payload = Join({0}, Payload(Stream(archives[i]), small));
        for (uint8_t choice : {0, 5, 2, 7})
            if (i + 1 == archives.size() || choice == (i % 4))
                WriteFile(tools / (std::string(archives[i].label) + "-" + std::to_string(choice)), Join({choice}, payload));
    }

    // Names: mode byte (bit 0 UTF-16, bit 1 good characters, bit 2 no spare room), then the name.
    const std::pair<const char*, Bytes> names[] = {
        {"plain", Join({0}, Text("ReadMe.txt"))},
        {"device", Join({0}, Text("nul .txt"))},
        {"device-tight", Join({4}, Text("COM\xB9"))},
        {"trailing", Join({0}, Text("x. "))},
        {"stream", Join({1}, Utf16("a:b"))},
        {"utf16", Join({1}, Utf16("\xC4rger"))},
        {"good", Join({2}, Text("\x01\x07\x22\x33"))},
    };
    for (const auto& name : names) WriteFile(root / "fuzz_name_rule" / name.first, name.second);

    // Description (mode bit 0 clear) and language files (set): see fuzz_package_text.cpp.
    const std::pair<const char*, Bytes> texts[] = {
        {"description", Join({2}, Text("Norvalent Demo Version 2.1 (build 7)\r\nfor 32/64 bit Windows 10 and 11\r\n"))},
        {"description-plain", Join({4}, Text("Foo 2.1 [beta]  \nFOR Windows\n"))},
        {"description-empty-line", Join({2}, Text("(nothing)\nfor x Windows"))},
        {"language-ansi", Join({1, 6}, Join(Text("NvDemoFR"), Text("[Strings]\r\nLanguage=Fran\xE7" "ais (French)\r\n")))},
        {"language-utf16", Join({3, 4}, Join(Text("ProgIT"), Join({0xFF, 0xFE}, Utf16("Language=Italiano (Italian)\r\n"))))},
        {"language-blank", Join({5, 0}, Join(Text("es"), Text("Language:    \r\n")))},
    };
    for (const auto& text : texts) WriteFile(root / "fuzz_package_text" / text.first, text.second);

    // Folders of names, then "--" and an order file: see fuzz_packer_names.cpp.
    const std::pair<const char*, Bytes> folders[] = {
        {"product", Join({0x04}, Text("32/Nvp.exe\n64/Nvp.exe\nFILE_ID.DIZ\nNvp_DE.LNG\nReadMe.txt\nUnInst.exe\n--\n"
                                      "# first\nReadMe.txt\n64\\Nvp.exe\n"))},
        {"clash", Join({0}, Text("ReadMe.txt\n64/readme.TXT\n64/x\n"))},
        {"no-clash-beside-64", Join({0}, Text("32/a\n64/b\n32/b\n"))},
        {"bad-names", Join({0}, Text("a/CON\nx./y\nok\n\xC3\x9D\nq?\n"))},
        {"all-empty", Join({0xFF}, Text("a\nb\n"))},
        {"order-missing", Join({0}, Text("a\n--\n\xEF\xBB\xBF" "b\n"))},
    };
    for (const auto& folder : folders) WriteFile(root / "fuzz_packer_names" / folder.first, folder.second);
    return 0;
}
