#include "setup_listing.h"

#include <memory>

#include "payload/archive_pass.h"
#include "payload/payload_container.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

int32_t RecordEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    if (preview) return 0;
    static_cast<SetupListing*>(userData)->entries.push_back(ListedEntry{size, WideToUtf8(pathBuffer)});
    return 0;
}

void ReadContainer(const std::basic_string<WideChar>& path, SetupListing* listing) {
    FileHandle file = FileOpenRead(path.c_str());
    if (file == NO_FILE) return;
    uint32_t size = FileSize32(file);
    listing->fileSize = size == 0xFFFFFFFFu ? 0 : size;
    if (listing->fileSize > 0) listing->payloadOffset = FindPayloadOffset(file, size);
    if (listing->payloadOffset > 0 && FileSeek(file, static_cast<int32_t>(listing->payloadOffset))) {
        uint8_t header[STREAM_HEADER_SIZE];
        uint32_t got = 0;
        if (FileRead(file, header, sizeof header, &got) && got == sizeof header) {
            listing->streamHeaderRead = true;
            std::copy(header, header + 5, listing->properties);
            listing->unpackedSize = ReadBigEndian32(header + 5);
        }
    }
    FileClose(file);
}

}  // namespace

SetupListing ReadSetupListing(const fs::path& setup) {
    SetupListing listing;
    std::basic_string<WideChar> path = WidePath(setup);
    ReadContainer(path, &listing);
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader());
    listing.result = RunArchivePassOn(reader.get(), path.c_str(), RecordEntry, &listing);
    listing.headerParsed = reader->state != READER_EXPECT_HEADER;
    if (listing.headerParsed) {
        listing.productCode = Cp1252ToUtf8(reader->productCode);
        listing.windowClass = Cp1252ToUtf8(reader->windowClass);
        listing.mainProgram = Cp1252ToUtf8(reader->mainProgram);
        listing.packageDate = reader->packageDate;
        listing.announcedChecksum = reader->announcedChecksum;
        listing.checksum = reader->checksum;
    }
    return listing;
}

std::string DescribePassResult(const SetupListing& listing) {
    int32_t result = listing.result;
    switch (result) {
        case 0: return "ok";
        case 2: return "the file does not exist (Windows error 2)";
        case 3: return "the path does not exist (Windows error 3)";
        case 5: return "access denied (Windows error 5)";
        case -1:
            if (listing.payloadOffset == 0) return "no payload: no signature at or after offset 89999 (-1)";
            if (!listing.headerParsed) return "no archive header in the payload (-1)";
            return "checksum mismatch: the payload is damaged or cut short (-1)";
        case -38: return "the file ends within the payload's stream header (-38)";
        case -13: return "corrupt LZMA data (-13)";
        case -50: return "LZMA properties not supported (-50)";
        case -8: return "not enough memory for the LZMA dictionary (-8)";
    }
    if (result > 0) return "cannot open the file (Windows error " + std::to_string(result) + ")";
    return "reading the payload failed (Windows error " + std::to_string(-result) + ")";
}
