#include "payload/payload_container.h"

#include <string.h>

#include "LzmaDec.h"

const uint8_t PAYLOAD_SIGNATURE[4] = {0xB6, 0x2D, 0x93, 0x51};

namespace {

void* HeapAllocate(void*, size_t size) { return MemAlloc(size); }
void HeapRelease(void*, void* block) { MemFree(block); }
ISzAlloc gHeapAllocator = {HeapAllocate, HeapRelease};

}  // namespace

uint32_t ReadBigEndian32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

uint32_t FindPayloadOffset(FileHandle file, uint32_t fileSize, int32_t* error) {
    int32_t ignored;
    if (!error) error = &ignored;
    *error = 0;
    uint32_t start = fileSize < PAYLOAD_SEARCH_START ? fileSize : PAYLOAD_SEARCH_START;
    // The first 4 bytes carry the previous read's last 4, so that a signature
    // straddling two reads is seen. They start as zeros, which never match.
    uint8_t buffer[4 + SEARCH_READ_SIZE];
    memset(buffer, 0, sizeof buffer);
    uint32_t left = fileSize - start;
    while (left > 0) {
        uint32_t n = left < SEARCH_READ_SIZE ? left : SEARCH_READ_SIZE;
        uint32_t got = 0;
        if (!FileReadAt(file, start, buffer + 4, n, &got)) {
            *error = LastErrorOr(ERROR_CODE_ACCESS_DENIED);
            return 0;
        }
        if (got < n) return 0;  // the file shrank: what is left holds no signature
        // Position p holds the file byte at start - 4 + p.
        for (uint32_t p = 0; p <= n; ++p) {
            if (buffer[p] != PAYLOAD_SIGNATURE[0]) continue;
            if (buffer[p + 1] == PAYLOAD_SIGNATURE[1] && buffer[p + 2] == PAYLOAD_SIGNATURE[2] &&
                buffer[p + 3] == PAYLOAD_SIGNATURE[3])
                return start + p;
        }
        memcpy(buffer, buffer + n, 4);
        start += n;
        left -= n;
    }
    return 0;
}

int32_t ReadExact(const PayloadSource* source, uint8_t* buffer, uint32_t count) {
    while (count > 0) {
        uint32_t got = count;
        int32_t result = source->Read(source->self, buffer, &got);
        if (result != 0) return result;
        if (got == 0) return SZ_ERROR_INPUT_EOF;
        buffer += got;
        count -= got;
    }
    return 0;
}

int32_t MapDecoderResult(int32_t code) {
    static const int32_t kWindowsCodes[18] = {
        0,    // SZ_OK
        13,   // SZ_ERROR_DATA        -> ERROR_INVALID_DATA
        8,    // SZ_ERROR_MEM         -> ERROR_NOT_ENOUGH_MEMORY
        23,   // SZ_ERROR_CRC         -> ERROR_CRC
        50,   // SZ_ERROR_UNSUPPORTED -> ERROR_NOT_SUPPORTED
        87,   // SZ_ERROR_PARAM       -> ERROR_INVALID_PARAMETER
        38,   // SZ_ERROR_INPUT_EOF   -> ERROR_HANDLE_EOF
        38,   // SZ_ERROR_OUTPUT_EOF  -> ERROR_HANDLE_EOF
        30,   // SZ_ERROR_READ        -> ERROR_READ_FAULT
        29,   // SZ_ERROR_WRITE       -> ERROR_WRITE_FAULT
        31,   // SZ_ERROR_PROGRESS    -> ERROR_GEN_FAILURE
        31,   // SZ_ERROR_FAIL        -> ERROR_GEN_FAILURE
        164,  // SZ_ERROR_THREAD      -> ERROR_MAX_THRDS_REACHED
        31, 31, 31, 31, 31,  // 13 to 17, SZ_ERROR_NO_ARCHIVE among them
    };
    return code >= 0 && code < 18 ? kWindowsCodes[code] : code;
}

namespace {

// The decoding loop proper, once the decoder state and the blocks exist.
int32_t DecodeBlocks(CLzmaDec* decoder, uint32_t unpacked, uint8_t* input, uint8_t* output,
                     const PayloadSource* source, const ArchiveSink* sink) {
    uint32_t inPos = 0, inSize = 0;
    for (;;) {
        if (inPos == inSize) {
            inSize = DECODE_BLOCK_SIZE;
            int32_t result = source->Read(source->self, input, &inSize);
            if (result != 0) return result;
            inPos = 0;
            if (inSize == 0) return 0;  // the file ended; the checksum will tell
        }
        SizeT outLen = DECODE_BLOCK_SIZE;
        ELzmaFinishMode finishMode = LZMA_FINISH_ANY;
        if (unpacked < DECODE_BLOCK_SIZE) {
            outLen = unpacked;
            finishMode = LZMA_FINISH_END;
        }
        SizeT inLen = inSize - inPos;
        ELzmaStatus status;
        SRes result = LzmaDec_DecodeToBuf(decoder, output, &outLen, input + inPos, &inLen, finishMode, &status);
        unpacked -= static_cast<uint32_t>(outLen);
        inPos += static_cast<uint32_t>(inLen);
        if (result != SZ_OK) return result;
        uint32_t length = static_cast<uint32_t>(outLen);
        if (sink->Write(sink->self, output, length) != length) return DECODE_STOPPED_BY_SINK;
        if (unpacked == 0) return 0;
        if (inLen == 0 && outLen == 0) return status == LZMA_STATUS_FINISHED_WITH_MARK ? 0 : SZ_ERROR_DATA;
    }
}

}  // namespace

int32_t DecodeLzmaStream(const PayloadSource* source, const ArchiveSink* sink) {
    uint8_t header[STREAM_HEADER_SIZE];
    int32_t result = ReadExact(source, header, STREAM_HEADER_SIZE);
    if (result != 0) return MapDecoderResult(result);
    uint32_t unpacked = ReadBigEndian32(header + 5);
    if (sink->Begin) sink->Begin(sink->self, unpacked);

    CLzmaDec decoder;
    LzmaDec_Construct(&decoder);
    result = LzmaDec_Allocate(&decoder, header, LZMA_PROPS_SIZE, &gHeapAllocator);
    if (result == SZ_OK) {
        uint8_t* blocks = static_cast<uint8_t*>(MemAlloc(2 * DECODE_BLOCK_SIZE));
        if (blocks) {
            LzmaDec_Init(&decoder);
            result = DecodeBlocks(&decoder, unpacked, blocks, blocks + DECODE_BLOCK_SIZE, source, sink);
            MemFree(blocks);
        } else {
            result = SZ_ERROR_MEM;
        }
    }
    LzmaDec_Free(&decoder, &gHeapAllocator);
    return MapDecoderResult(result);
}
