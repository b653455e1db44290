#include "payload/archive_reader.h"

#include <string.h>

#include "payload/payload_container.h"

namespace {

void RecordError(ArchiveReader* reader) {
    if (reader->error == 0) reader->error = LastErrorOr(ERROR_CODE_ACCESS_DENIED);
}

void RecordOutputError(ArchiveReader* reader) {
    RecordError(reader);
    reader->outputFailed = true;
}

// "~nvsetup<n>.tmp" in the folder of the final path.
void TemporaryPathFor(const ArchiveReader* reader, WideChar* path) {
    int folder = 0;
    for (int i = 0; reader->outputPath[i]; ++i)
        if (reader->outputPath[i] == '\\' || reader->outputPath[i] == '/') folder = i + 1;
    static const char kPrefix[] = "~nvsetup";
    int at = 0;
    for (; at < folder && at < static_cast<int>(NAME_CAPACITY) - 32; ++at) path[at] = reader->outputPath[at];
    for (const char* c = kPrefix; *c; ++c) path[at++] = static_cast<WideChar>(*c);
    char digits[12];
    int count = 0;
    uint32_t n = reader->entryCount;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n);
    while (count) path[at++] = static_cast<WideChar>(digits[--count]);
    for (const char* c = ".tmp"; *c; ++c) path[at++] = static_cast<WideChar>(*c);
    path[at] = 0;
}

// A new file is written in place: there is nothing to protect, and a move
// per file is what costs most beyond the bytes. An existing one gets a
// temporary sibling that replaces it at the end.
void CreateOutputFile(ArchiveReader* reader) {
    memcpy(reader->outputPath, reader->pathBuffer, sizeof reader->outputPath);
    reader->temporaryPath[0] = 0;
    FileHandle file = FileCreateNew(reader->outputPath);
    if (file == NO_FILE && LastErrorCode() == ERROR_CODE_FILE_EXISTS) {
        TemporaryPathFor(reader, reader->temporaryPath);
        file = FileCreateAlways(reader->temporaryPath);
    }
    if (file == NO_FILE) {
        RecordError(reader);
        return;
    }
    reader->outputFile = file;
    reader->outputFailed = false;
}

// What the open output file is called until it is finished.
const WideChar* WrittenPath(const ArchiveReader* reader) {
    return reader->temporaryPath[0] ? reader->temporaryPath : reader->outputPath;
}

// Times that cannot be set, or a close that reports lost data, leave a file
// that is not what the package holds: both count as write errors, and such a
// file never replaces the old one.
void FinishOutputFile(ArchiveReader* reader) {
    if (!FileSetTimes(reader->outputFile, &reader->packageTime)) RecordOutputError(reader);
    if (!FileClose(reader->outputFile)) RecordOutputError(reader);
    reader->outputFile = NO_FILE;
    if (!reader->outputFailed && !reader->temporaryPath[0]) return;
    if (!reader->outputFailed && FileReplace(reader->temporaryPath, reader->outputPath)) return;
    if (!reader->outputFailed) RecordError(reader);
    DeleteFileAt(WrittenPath(reader));
}

// Restores the bytes in place and adds them to the checksum. Each byte counts
// (entry number + 10 + signed first byte of the name) plus its own value.
uint32_t RestoreAndSum(uint8_t* bytes, uint32_t count, uint32_t perByte) {
    uint32_t sum = perByte * count;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t b = static_cast<uint8_t>(bytes[i] + DATA_BIAS);
        bytes[i] = b;
        sum += b;
    }
    return sum;
}

}  // namespace

void StartArchiveReader(ArchiveReader* reader, EntryHandler handler, void* userData) {
    memset(reader, 0, sizeof *reader);
    reader->handler = handler;
    reader->userData = userData;
    reader->setupFile = NO_FILE;
    reader->outputFile = NO_FILE;
}

void CloseArchiveReaderOutput(ArchiveReader* reader) {
    if (reader->outputFile == NO_FILE) return;
    FileClose(reader->outputFile);
    reader->outputFile = NO_FILE;
    DeleteFileAt(WrittenPath(reader));
}

uint32_t ReadStoredNumber(const uint8_t* bytes) { return ReadBigEndian32(bytes) - NUMBER_BIAS; }

uint32_t DecodeStoredText(const uint8_t* bytes, uint32_t available, char* destination, uint32_t capacity) {
    if (available == 0 || capacity == 0) return 0;
    uint32_t i = 0;
    for (;; ++i) {
        if (i == available) return 0;
        if (bytes[i] == 0 || i == capacity - 1) break;
        destination[i] = static_cast<char>(bytes[i] - TEXT_BIAS);
    }
    // When the capacity ended the text, the stored byte at i is consumed in
    // place of the terminator, whatever it holds.
    destination[i] = 0;
    uint32_t consumed = i + 1;
    // One more byte must follow the text in the bytes at hand.
    if (consumed >= available) return 0;
    return consumed;
}

void SplitPackageDate(uint32_t date, int* year, int* month, int* day) {
    uint32_t d = date % 31;
    uint32_t rest = date / 31;
    if (d == 0) {
        d = 31;
        rest -= 1;
    }
    uint32_t m = rest % 12;
    if (m == 0) m = 12;
    *day = static_cast<int>(d);
    *month = static_cast<int>(m);
    *year = static_cast<int>((rest - m) / 12) + DATE_BASE_YEAR;
}

uint32_t ParseArchiveHeader(ArchiveReader* reader, const uint8_t* bytes, uint32_t available) {
    if (available < 4) return 0;
    reader->announcedChecksum = ReadStoredNumber(bytes);
    uint32_t used = 4;
    struct {
        char* field;
        uint32_t capacity;
    } texts[3] = {{reader->productCode, 4}, {reader->windowClass, 32}, {reader->mainProgram, 32}};
    for (auto& text : texts) {
        uint32_t consumed = DecodeStoredText(bytes + used, available - used, text.field, text.capacity);
        if (consumed == 0) return 0;
        used += consumed;
    }
    if (available - used < 4) return 0;
    uint32_t date = ReadStoredNumber(bytes + used);
    used += 4;
    reader->packageDate = date;
    // A date that is no calendar date leaves the output files' times alone.
    int year, month, day;
    SplitPackageDate(date, &year, &month, &day);
    if (!LocalNoonToFileTime(year, month, day, &reader->packageTime)) reader->packageTime = FileTime{0, 0};
    reader->state = READER_HEADER_DONE;
    return used;
}

void AppendCarry(ArchiveReader* reader, const uint8_t* bytes, uint32_t count) {
    uint32_t room = CARRY_CAPACITY - reader->carryFill;
    uint32_t n = count < room ? count : room;
    memcpy(reader->carry + reader->carryFill, bytes, n);
    reader->carryFill += n;
}

uint32_t ParseEntryHeader(ArchiveReader* reader, const uint8_t* bytes, uint32_t available) {
    reader->pathBuffer[0] = 0;
    if (available < 4) return 0;
    reader->entrySize = reader->remaining = ReadStoredNumber(bytes);
    uint32_t name = DecodeStoredText(bytes + 4, available - 4, reader->entryNameAnsi, NAME_CAPACITY);
    if (name == 0) return 0;
    reader->entryCount += 1;
    int units = AnsiToWide(reader->entryNameAnsi, static_cast<int>(strlen(reader->entryNameAnsi)),
                           reader->pathBuffer, NAME_CAPACITY);
    reader->pathBuffer[units] = 0;
    reader->pathBuffer[NAME_CAPACITY - 1] = 0;
    reader->state = READER_IN_ENTRY;
    reader->previewCount = 0;
    if (reader->handler(reader->pathBuffer, nullptr, reader->entrySize, reader->userData) != 0 &&
        reader->pathBuffer[0] != 0)
        CreateOutputFile(reader);
    return 4 + name;
}

uint32_t ConsumeEntryData(ArchiveReader* reader, uint8_t* bytes, uint32_t available) {
    uint32_t n = reader->remaining < available ? reader->remaining : available;
    uint32_t perByte = reader->entryCount + CHECKSUM_INDEX_BIAS + static_cast<uint32_t>(
                       static_cast<int32_t>(static_cast<int8_t>(reader->entryNameAnsi[0])));
    reader->checksum += RestoreAndSum(bytes, n, perByte);
    reader->remaining -= n;

    uint32_t limit = reader->entrySize < PREVIEW_CAPACITY ? reader->entrySize : PREVIEW_CAPACITY;
    if (reader->previewCount < limit) {
        uint32_t take = limit - reader->previewCount;
        if (n < take) take = n;
        memcpy(reader->preview + reader->previewCount, bytes, take);
        reader->previewCount += take;
        if (reader->previewCount == limit)
            reader->handler(reader->pathBuffer, reader->preview, limit, reader->userData);
    }

    if (reader->outputFile != NO_FILE) {
        uint32_t written = 0;
        if (!FileWrite(reader->outputFile, bytes, n, &written) || written < n) RecordOutputError(reader);
        if (reader->remaining == 0) FinishOutputFile(reader);
    }
    return n;
}

int32_t ArchiveFeed(uint8_t* block, uint32_t length, ArchiveReader* reader) {
    uint32_t used = 0;
    bool headerCompleted = false;

    // A header left incomplete by the previous block.
    if (reader->carryFill > 0) {
        uint32_t held = reader->carryFill;
        AppendCarry(reader, block, length);
        uint32_t r = reader->state == READER_EXPECT_HEADER
                         ? ParseArchiveHeader(reader, reader->carry, reader->carryFill)
                         : ParseEntryHeader(reader, reader->carry, reader->carryFill);
        if (r > 0) {
            reader->carryFill = 0;
            used = r > held ? r - held : 0;
            headerCompleted = reader->state == READER_IN_ENTRY;
        } else {
            used = length;
        }
    }

    if (reader->state == READER_EXPECT_HEADER && used < length) {
        uint32_t r = ParseArchiveHeader(reader, block + used, length - used);
        if (r > 0) {
            used += r;
        } else {
            AppendCarry(reader, block + used, length - used);
            used = length;
        }
    }

    // The rest of an entry whose header came in an earlier block.
    if (used < length && (reader->remaining > 0 || headerCompleted))
        used += ConsumeEntryData(reader, block + used, length - used);

    while (used < length) {
        uint32_t r = ParseEntryHeader(reader, block + used, length - used);
        if (reader->error != 0) return 1;
        if (r == 0) {
            reader->state = READER_ENTRY_PENDING;
            AppendCarry(reader, block + used, length - used);
            return 0;
        }
        used += r;
        used += ConsumeEntryData(reader, block + used, length - used);
        if (reader->error != 0) return 1;
    }
    return 0;
}
