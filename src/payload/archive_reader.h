// The archive stream inside the payload, and its incremental reader.
//
// Stored forms (all arithmetic wraps):
//   number  value + 239, 4 bytes big-endian
//   text    each byte + 35, then one 0 byte that is not offset
//   data    each byte - 77
//
// Stream layout:
//   archive header  checksum (number), productCode (text, at most 3),
//                   windowClass (text, at most 31), mainProgram (text, at
//                   most 31), date (number: ((year - 2012) * 12 + month) * 31 + day)
//   entry, repeated to the end of the stream:
//                   size (number), name (text, at most 1023, backslashes
//                   between folders), size bytes of data
// There is no entry count and no closing record.
//
// The reader takes the decoded stream in blocks that may end at any byte. A
// header that is incomplete at the end of a block waits in `carry`. For each
// entry it calls the pass's handler twice: at the entry's start (preview
// null, size = entry size), and once min(1024, size) data bytes are known
// (preview = those bytes restored, size = their count; not for empty entries).
// A non-zero result of the first call with a non-empty pathBuffer asks for the
// entry to be written to the file that pathBuffer names. A file of that name
// that exists already is replaced only once the new one is whole: the new
// one is written as "~nvsetup<entry number>.tmp" in the same folder and
// moved over it. A file that cannot be completed is deleted, and an older
// file of that name stays.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

constexpr uint32_t NUMBER_BIAS = 239;
constexpr uint8_t TEXT_BIAS = 35;
constexpr uint8_t DATA_BIAS = 77;
constexpr uint32_t CHECKSUM_INDEX_BIAS = 10;
constexpr int DATE_BASE_YEAR = 2012;
constexpr uint32_t NAME_CAPACITY = 1024;
constexpr uint32_t CARRY_CAPACITY = 1024;
constexpr uint32_t PREVIEW_CAPACITY = 1024;

enum : int32_t {
    READER_EXPECT_HEADER = 0,  // archive header not parsed yet
    READER_HEADER_DONE = 1,    // archive header parsed, no entry header yet
    READER_ENTRY_PENDING = 2,  // an incomplete entry header waits in carry
    READER_IN_ENTRY = 3,       // an entry header parsed; its data may still come
};

typedef int32_t (*EntryHandler)(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData);

struct ArchiveReader {
    int32_t error;                 // first output-file error, 0 = none
    int32_t state;
    EntryHandler handler;
    void* userData;
    uint32_t checksum;             // running, over the data bytes
    uint32_t announcedChecksum;    // from the archive header
    FileTime packageTime;          // noon local on the package date; 0 = no calendar date
    uint32_t entryCount;           // the current entry's number, from 1
    char entryNameAnsi[NAME_CAPACITY];
    WideChar pathBuffer[NAME_CAPACITY];
    uint32_t entrySize;
    uint32_t remaining;            // data bytes of the current entry still to come
    FileHandle setupFile;
    FileHandle outputFile;         // NO_FILE when none is open
    uint8_t carry[CARRY_CAPACITY];
    uint32_t carryFill;
    char productCode[4];
    char windowClass[32];
    char mainProgram[32];
    uint8_t preview[PREVIEW_CAPACITY];
    uint32_t previewCount;
    uint32_t packageDate;          // the header's date value as stored, for listing
    // An output file that replaces an old one is written under a temporary
    // name beside it and moved over it only once it is whole, so that a
    // failure leaves the old file as it was; a new file is written under its
    // own name and deleted again if it cannot be completed. Either way no
    // half-written file stays.
    WideChar outputPath[NAME_CAPACITY];     // where the open output file goes
    WideChar temporaryPath[NAME_CAPACITY];  // what it is called until then, or empty: written in place
    bool outputFailed;                      // a write to it failed: it is dropped
};

// Readies a reader for a pass: all zero, no files open, the handler set.
void StartArchiveReader(ArchiveReader* reader, EntryHandler handler, void* userData);
// Drops an output file that a cut-short entry left open: closed and deleted.
void CloseArchiveReaderOutput(ArchiveReader* reader);

// Parses the next block: 0 = go on, 1 = stop (an output-file error is in `error`).
int32_t ArchiveFeed(uint8_t* block, uint32_t length, ArchiveReader* reader);

// The steps of ArchiveFeed. Each takes the bytes at hand and returns how many
// it consumed, 0 meaning the item is not complete in them yet.
uint32_t ReadStoredNumber(const uint8_t* bytes);
uint32_t DecodeStoredText(const uint8_t* bytes, uint32_t available, char* destination, uint32_t capacity);
uint32_t ParseArchiveHeader(ArchiveReader* reader, const uint8_t* bytes, uint32_t available);
uint32_t ParseEntryHeader(ArchiveReader* reader, const uint8_t* bytes, uint32_t available);
uint32_t ConsumeEntryData(ArchiveReader* reader, uint8_t* bytes, uint32_t available);
void AppendCarry(ArchiveReader* reader, const uint8_t* bytes, uint32_t count);

// Splits a date value into its calendar parts, as the header defines them.
void SplitPackageDate(uint32_t date, int* year, int* month, int* day);
