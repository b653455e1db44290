// Feeds a fuzzed archive stream to the reader in fuzzed blocks.
//
// The decoder hands the reader blocks that end wherever its input chunks
// happen to end, so where a block ends must change nothing: the stream is
// read once whole and once split, and both must make the same handler calls
// and leave the same totals. The whole reading is also held against a plain
// one-pass reading of the stream as archive_reader.h lays it out.
//
// Input layout:
//   byte 0    which entries the handler asks to write (bit (k - 1) % 8)
//   byte 1    of the entries to write, which go to a missing folder; of the
//             others, which clear the path and ask anyway (must write nothing)
//   byte 2    n, the number of block lengths (n % 17)
//   n bytes   block lengths: below 0xF0 as they are, else (b - 0xEF) * 256;
//             used in turn until the stream is fed, 0 giving an empty block
//   the rest  the archive stream
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "payload/archive_reader.h"
#include "platform/cp1252.h"
#include "platform/memory_files.h"

namespace {

enum Action { KEEP, WRITE, WRITE_TO_MISSING_FOLDER, CLEAR_AND_ASK };

struct Config {
    uint8_t writeMask = 0;
    uint8_t failMask = 0;
    std::vector<uint32_t> lengths;
};

Action Decide(const Config& config, uint32_t entry) {
    unsigned bit = (entry - 1) % 8;
    bool write = (config.writeMask >> bit) & 1;
    bool odd = (config.failMask >> bit) & 1;
    if (write) return odd ? WRITE_TO_MISSING_FOLDER : WRITE;
    return odd ? CLEAR_AND_ASK : KEEP;
}

// A few fixed names, so that a long run does not fill the folder; some leave
// ASCII (one needs a surrogate pair) to take the path conversion along.
constexpr int SLOT_COUNT = 6;
const char16_t* const kSlotNames[SLOT_COUNT] = {u"a", u"b.dat", u"\u00e9t\u00e9", u"\u20ac", u"d\U0001F600", u"f"};
const char* const kSlotNamesUtf8[SLOT_COUNT] = {"a", "b.dat", "\xC3\xA9t\xC3\xA9",
                                                "\xE2\x82\xAC", "d\xF0\x9F\x98\x80", "f"};

int Slot(uint32_t entry) { return static_cast<int>((entry - 1) % SLOT_COUNT); }

std::u16string OutputPath(Action action, uint32_t entry) {
    if (action == WRITE_TO_MISSING_FOLDER) return std::u16string(kFuzzFolder) + u"/missing\\x";
    return std::u16string(kFuzzFolder) + u"\\" + kSlotNames[Slot(entry)];
}

struct Call {
    bool preview;
    std::u16string path;
    uint32_t size;
    std::vector<uint8_t> bytes;

    bool operator==(const Call& other) const {
        return preview == other.preview && path == other.path && size == other.size && bytes == other.bytes;
    }
};

struct Outcome {
    std::vector<Call> calls;
    int32_t error = 0;
    int32_t state = 0;
    uint32_t checksum = 0;
    uint32_t announcedChecksum = 0;
    uint32_t entryCount = 0;
    uint32_t carryFill = 0;
    uint32_t packageDate = 0;
    std::string productCode, windowClass, mainProgram;
    bool askedForMissingFolder = false;
    std::vector<uint8_t> files[SLOT_COUNT];  // one-pass reading only: what each slot must hold
    bool fileExpected[SLOT_COUNT] = {};
};

struct Run {
    const Config* config;
    ArchiveReader* reader;
    Outcome* outcome;
    uint32_t entries = 0;
};

std::u16string PathIn(const WideChar* buffer) {
    size_t n = 0;
    while (n < NAME_CAPACITY && buffer[n]) ++n;
    if (n == NAME_CAPACITY) FuzzFail("the path buffer holds no terminator");
    return std::u16string(buffer, n);
}

int32_t RecordingHandler(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    Run* run = static_cast<Run*>(userData);
    Call call{preview != nullptr, PathIn(pathBuffer), size, {}};
    if (preview) {
        if (size == 0 || size > PREVIEW_CAPACITY) FuzzFail("a preview of %u bytes", size);
        call.bytes.assign(preview, preview + size);
        run->outcome->calls.push_back(call);
        return 0;
    }
    run->outcome->calls.push_back(call);
    // A new entry starts only after the previous one's data is complete, so
    // its file must have been finished and closed by now.
    if (run->reader->outputFile != NO_FILE)
        FuzzFail("entry %u starts with an output file still open", run->entries + 1);
    run->entries += 1;
    Action action = Decide(*run->config, run->entries);
    if (action == KEEP) return 0;
    if (action == CLEAR_AND_ASK) {
        pathBuffer[0] = 0;
        return 1;
    }
    if (action == WRITE_TO_MISSING_FOLDER) run->outcome->askedForMissingFolder = true;
    std::u16string path = OutputPath(action, run->entries);
    memcpy(pathBuffer, path.c_str(), (path.size() + 1) * sizeof(WideChar));
    return 1;
}

// Each block gets its own allocation of exactly its length, so that a read
// past its end is caught.
bool FeedBlock(const uint8_t* bytes, size_t length, ArchiveReader* reader) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[length]);
    if (length) memcpy(block.get(), bytes, length);
    int32_t result = ArchiveFeed(block.get(), static_cast<uint32_t>(length), reader);
    if (result == 1 && reader->error == 0) FuzzFail("the feed stopped without an output-file error");
    if (result != 0 && result != 1) FuzzFail("the feed returned %d", result);
    return result == 0;
}

Outcome Feed(const Config& config, const uint8_t* stream, size_t size, bool split) {
    Outcome outcome;
    std::unique_ptr<ArchiveReader> owned(new ArchiveReader);
    ArchiveReader* reader = owned.get();
    Run run{&config, reader, &outcome};
    StartArchiveReader(reader, RecordingHandler, &run);

    if (!split || config.lengths.empty()) {
        FeedBlock(stream, size, reader);
    } else {
        size_t at = 0, turn = 0, emptyInARow = 0;
        bool going = true;
        while (going && at < size) {
            size_t length = config.lengths[turn++ % config.lengths.size()];
            if (length == 0 && ++emptyInARow >= config.lengths.size()) length = size - at;  // no length moves on
            if (length > 0) emptyInARow = 0;
            if (length > size - at) length = size - at;
            going = FeedBlock(stream + at, length, reader);
            at += length;
        }
        // The decoder may also hand over an empty block at the end.
        if (going) FeedBlock(stream + size, 0, reader);
    }
    // As the pass does: an entry cut short is dropped, its temporary file with it.
    CloseArchiveReaderOutput(reader);

    outcome.error = reader->error;
    outcome.state = reader->state;
    outcome.checksum = reader->checksum;
    outcome.announcedChecksum = reader->announcedChecksum;
    outcome.entryCount = reader->entryCount;
    outcome.carryFill = reader->carryFill;
    outcome.packageDate = reader->packageDate;
    outcome.productCode = reader->productCode;
    outcome.windowClass = reader->windowClass;
    outcome.mainProgram = reader->mainProgram;
    return outcome;
}

// --- The one-pass reading -------------------------------------------------

struct Cursor {
    const uint8_t* bytes;
    size_t size;
    size_t at;
};

bool TakeNumber(Cursor& c, uint32_t* value) {
    if (c.size - c.at < 4) return false;
    const uint8_t* b = c.bytes + c.at;
    *value = ((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]) - NUMBER_BIAS;
    c.at += 4;
    return true;
}

// Text ends at a stored 0, or after capacity - 1 characters, where the next
// stored byte stands in for the 0. A byte must follow the text before the
// reader accepts it. The result stops at the first restored 0, as C text does.
bool TakeText(Cursor& c, uint32_t capacity, std::string* text) {
    std::string out;
    size_t i = c.at;
    while (i < c.size && c.bytes[i] != 0 && out.size() < capacity - 1)
        out += static_cast<char>(c.bytes[i++] - TEXT_BIAS);
    if (i + 1 >= c.size) return false;
    c.at = i + 1;
    *text = out.substr(0, strlen(out.c_str()));
    return true;
}

Outcome ReadInOnePass(const Config& config, const uint8_t* stream, size_t size) {
    Outcome expected;
    Cursor c{stream, size, 0};
    uint32_t date;
    if (!TakeNumber(c, &expected.announcedChecksum) || !TakeText(c, 4, &expected.productCode) ||
        !TakeText(c, 32, &expected.windowClass) || !TakeText(c, 32, &expected.mainProgram) || !TakeNumber(c, &date)) {
        // Nothing is published before the whole archive header is there.
        return Outcome{};
    }
    expected.packageDate = date;
    expected.state = READER_HEADER_DONE;
    while (c.at < size) {
        uint32_t entrySize;
        std::string name;
        if (!TakeNumber(c, &entrySize) || !TakeText(c, NAME_CAPACITY, &name)) {
            expected.state = READER_ENTRY_PENDING;
            break;
        }
        uint32_t k = ++expected.entryCount;
        expected.state = READER_IN_ENTRY;
        std::u16string wide;
        for (char ch : name) wide += Cp1252ToUnicode(static_cast<uint8_t>(ch));
        expected.calls.push_back(Call{false, wide, entrySize, {}});

        size_t available = size - c.at;
        size_t n = entrySize < available ? entrySize : available;
        uint32_t perByte = k + CHECKSUM_INDEX_BIAS +
                           static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(name.empty() ? 0 : name[0])));
        std::vector<uint8_t> restored(n);
        for (size_t i = 0; i < n; ++i) {
            restored[i] = static_cast<uint8_t>(stream[c.at + i] + DATA_BIAS);
            expected.checksum += perByte + restored[i];
        }
        c.at += n;
        uint32_t previewSize = entrySize < PREVIEW_CAPACITY ? entrySize : PREVIEW_CAPACITY;
        if (previewSize > 0 && n >= previewSize) {
            Action action = Decide(config, k);
            std::u16string path = action == KEEP ? wide : action == CLEAR_AND_ASK ? u"" : OutputPath(action, k);
            expected.calls.push_back(
                Call{true, path, previewSize, std::vector<uint8_t>(restored.begin(), restored.begin() + previewSize)});
        }
        // Only a whole entry replaces its file; one cut by the end of the
        // stream leaves the file as it was.
        if (Decide(config, k) == WRITE && n == entrySize) {
            expected.files[Slot(k)] = restored;
            expected.fileExpected[Slot(k)] = true;
        }
    }
    return expected;
}

// --- Comparing --------------------------------------------------------------

std::string Printable(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        char buffer[8];
        if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(unit));
            out += buffer;
        }
    }
    return out;
}

void Expect(const Outcome& a, const Outcome& b, const char* what) {
    size_t n = a.calls.size() < b.calls.size() ? a.calls.size() : b.calls.size();
    for (size_t i = 0; i < n; ++i) {
        const Call& x = a.calls[i];
        const Call& y = b.calls[i];
        if (!(x == y))
            FuzzFail("%s: handler call %zu differs: %s \"%s\" %u vs %s \"%s\" %u%s", what, i,
                     x.preview ? "preview" : "start", Printable(x.path).c_str(), x.size,
                     y.preview ? "preview" : "start", Printable(y.path).c_str(), y.size,
                     x.bytes != y.bytes ? " (preview bytes differ)" : "");
    }
    if (a.calls.size() != b.calls.size())
        FuzzFail("%s: %zu handler calls vs %zu", what, a.calls.size(), b.calls.size());
    if (a.state != b.state) FuzzFail("%s: state %d vs %d", what, a.state, b.state);
    if (a.entryCount != b.entryCount) FuzzFail("%s: %u entries vs %u", what, a.entryCount, b.entryCount);
    if (a.checksum != b.checksum) FuzzFail("%s: checksum %08x vs %08x", what, a.checksum, b.checksum);
    if (a.state == READER_EXPECT_HEADER) return;  // header fields are not settled yet
    if (a.announcedChecksum != b.announcedChecksum)
        FuzzFail("%s: announced checksum %08x vs %08x", what, a.announcedChecksum, b.announcedChecksum);
    if (a.productCode != b.productCode || a.windowClass != b.windowClass || a.mainProgram != b.mainProgram ||
        a.packageDate != b.packageDate)
        FuzzFail("%s: archive header fields differ", what);
}

void ExpectFiles(const Outcome& expected, const char* what) {
    for (int slot = 0; slot < SLOT_COUNT; ++slot) {
        if (!expected.fileExpected[slot]) continue;
        std::vector<uint8_t> content;
        if (!FuzzLoad(std::u16string(kFuzzFolder) + u"\\" + kSlotNames[slot], &content))
            FuzzFail("%s: %s was not written", what, kSlotNamesUtf8[slot]);
        if (content != expected.files[slot])
            FuzzFail("%s: %s holds %zu bytes, not the %zu expected ones", what, kSlotNamesUtf8[slot], content.size(),
                     expected.files[slot].size());
    }
}

// Files are written under a temporary name and moved into place: none of
// those may be left once a run is over.
void ExpectNoTemporaryFiles(const char* what) {
    for (const MemoryFile& file : MemoryFilesList())
        if (file.path.find(u"~nvsetup") != std::u16string::npos)
            FuzzFail("%s: a temporary file was left", what);
}

void ExpectNoStrayError(const Outcome& outcome, const char* what) {
    if (outcome.error != 0 && !outcome.askedForMissingFolder)
        FuzzFail("%s: output-file error %d, but every path asked for could be created", what, outcome.error);
}

Config ParseConfig(const uint8_t*& data, size_t& size) {
    Config config;
    if (size < 3) {
        data += size;
        size = 0;
        return config;
    }
    config.writeMask = data[0];
    config.failMask = data[1];
    size_t count = data[2] % 17;
    data += 3;
    size -= 3;
    for (size_t i = 0; i < count && size > 0; ++i, ++data, --size)
        config.lengths.push_back(data[0] < 0xF0 ? data[0] : (data[0] - 0xEFu) * 256u);
    return config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInputFiles files;
    Config config = ParseConfig(data, size);
    Outcome expected = ReadInOnePass(config, data, size);
    // Files are checked right after each run, before the next one rewrites them.
    Outcome whole = Feed(config, data, size, false);
    ExpectNoStrayError(whole, "whole");
    ExpectNoTemporaryFiles("whole");
    if (whole.error == 0) ExpectFiles(expected, "whole");
    Outcome split = Feed(config, data, size, true);
    ExpectNoStrayError(split, "split");
    ExpectNoTemporaryFiles("split");
    // An output-file error stops the feed where it is noticed, which depends
    // on the blocks; a header longer than the carry never completes once a
    // block ends inside it. Such runs cannot be held to the others.
    bool splitComparable = split.error == 0 && split.carryFill < CARRY_CAPACITY;
    if (splitComparable) ExpectFiles(expected, "split");
    if (whole.error == 0 && splitComparable) Expect(whole, split, "whole vs split");
    if (whole.error == 0) Expect(expected, whole, "one pass vs whole");
    return 0;
}
