// The payload container: where a setup file keeps its archive, and the LZMA
// decoding run that turns it back into the archive stream.
//
//   offset 0        installer image (any size)
//   >= 89999        signature B6 2D 93 51, first occurrence from 89999 on
//   +4              LZMA properties, 5 bytes: (pb * 5 + lp) * 9 + lc, then
//                   the dictionary size, 32-bit little-endian
//   +9              unpacked size, 32-bit big-endian
//   +13 .. end      raw LZMA1 data, end marker optional; trailing bytes ignored
//
// The decoded stream is handed block by block to a sink; it is never held whole.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

constexpr uint32_t PAYLOAD_SEARCH_START = 89999;
constexpr uint32_t SEARCH_READ_SIZE = 4092;
constexpr uint32_t DECODE_BLOCK_SIZE = 65536;
constexpr uint32_t STREAM_HEADER_SIZE = 9;
constexpr int32_t DECODE_STOPPED_BY_SINK = 1235;  // ERROR_REQUEST_ABORTED
extern const uint8_t PAYLOAD_SIGNATURE[4];

// Where the decoded bytes come from: Read fills up to *count bytes and sets
// *count to what it delivered. Returns 0, or a Windows error code (then 0
// bytes). 0 bytes with result 0 is the end of the input.
struct PayloadSource {
    int32_t (*Read)(void* self, uint8_t* buffer, uint32_t* count);
    void* self;
};

// Where the decoded bytes go: Write returns how many bytes it accepted; fewer
// than given stops the decoding. It may change the block in place. Begin,
// when given, learns the stream's unpacked size before the first block.
struct ArchiveSink {
    uint32_t (*Write)(void* self, uint8_t* block, uint32_t length);
    void* self;
    void (*Begin)(void* self, uint32_t unpackedSize);
};

// The offset just after the first signature that begins at or after
// min(fileSize, 89999), or 0 when there is none or a read fails; *error
// (when given) is then that failure's Windows code, else 0. Reads at
// offsets, so the handle's position does not matter.
uint32_t FindPayloadOffset(FileHandle file, uint32_t fileSize, int32_t* error = nullptr);

// Decodes the stream header and LZMA data from the source's position into the
// sink. 0, or a Windows error code: 38 when the input ends within the stream
// header, 13 for corrupt data, 50 for unsupported properties, 8 when memory
// runs out, 1235 when the sink refused a block, or a read's own code. An
// input that ends early is no error at this level.
int32_t DecodeLzmaStream(const PayloadSource* source, const ArchiveSink* sink);

// Reads exactly count bytes: 0, a read's error code, or 6 (the decoder's
// "input ended") when the input ends first.
int32_t ReadExact(const PayloadSource* source, uint8_t* buffer, uint32_t count);

// Turns an LZMA library result (or an already Windows code) into a Windows code.
int32_t MapDecoderResult(int32_t code);

uint32_t ReadBigEndian32(const uint8_t* bytes);
