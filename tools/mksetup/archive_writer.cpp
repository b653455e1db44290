#include "archive_writer.h"

#include <string.h>

#include <algorithm>

#include "LzmaEnc.h"
#include "payload/archive_reader.h"
#include "payload/payload_container.h"

void AppendStoredNumber(Bytes& out, uint32_t value) {
    uint32_t stored = value + NUMBER_BIAS;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(stored >> shift));
}

void AppendStoredText(Bytes& out, const std::string& text) {
    for (char c : text) out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(c) + TEXT_BIAS));
    out.push_back(0);
}

void AppendStoredData(Bytes& out, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(data[i] - DATA_BIAS));
}

uint32_t PackageDateValue(int year, int month, int day) {
    return static_cast<uint32_t>(((year - DATE_BASE_YEAR) * 12 + month) * 31 + day);
}

void AppendArchiveHeader(Bytes& out, const ArchiveHeaderFields& header) {
    AppendStoredNumber(out, header.checksum);
    AppendStoredText(out, header.productCode);
    AppendStoredText(out, header.windowClass);
    AppendStoredText(out, header.mainProgram);
    AppendStoredNumber(out, header.date);
}

size_t ArchiveHeaderSize(const ArchiveHeaderFields& header) {
    return 4 + header.productCode.size() + 1 + header.windowClass.size() + 1 + header.mainProgram.size() + 1 + 4;
}

size_t EntryHeaderSize(const std::string& name) { return 4 + name.size() + 1; }

uint32_t EntryChecksum(uint32_t k, const std::string& name, uint64_t size, uint64_t byteSum) {
    int32_t s = name.empty() ? 0 : static_cast<int8_t>(name[0]);
    uint32_t perByte = k + CHECKSUM_INDEX_BIAS + static_cast<uint32_t>(s);
    return static_cast<uint32_t>(size) * perByte + static_cast<uint32_t>(byteSum);
}

namespace {

void* EncoderAlloc(void*, size_t size) { return size ? malloc(size) : nullptr; }
void EncoderFree(void*, void* block) { free(block); }
ISzAlloc gEncoderAlloc = {EncoderAlloc, EncoderFree};

struct InBridge {
    ISeqInStream vt;
    const StreamProducer* produce;
    uint64_t delivered;
    bool failed;
};

SRes BridgeRead(void* p, void* buf, size_t* size) {
    InBridge* bridge = static_cast<InBridge*>(p);
    size_t produced = 0;
    if (!(*bridge->produce)(static_cast<uint8_t*>(buf), *size, &produced)) {
        bridge->failed = true;
        *size = 0;
        return SZ_ERROR_READ;
    }
    *size = produced;
    bridge->delivered += produced;
    return SZ_OK;
}

struct OutBridge {
    ISeqOutStream vt;
    const ByteWriter* write;
    bool failed;
};

size_t BridgeWrite(void* p, const void* buf, size_t size) {
    OutBridge* bridge = static_cast<OutBridge*>(p);
    if (!(*bridge->write)(static_cast<const uint8_t*>(buf), size)) {
        bridge->failed = true;
        return 0;
    }
    return size;
}

struct ProgressBridge {
    ICompressProgress vt;
    const ProgressReport* report;
};

SRes BridgeProgress(void* p, UInt64 in, UInt64 out) {
    ProgressBridge* bridge = static_cast<ProgressBridge*>(p);
    if (*bridge->report) (*bridge->report)(in, out);
    return SZ_OK;
}

}  // namespace

std::string EncodeLzmaStream(const StreamProducer& produce, uint32_t unpackedSize, const LzmaSettings& settings,
                             const ByteWriter& write, const ProgressReport& progress) {
    CLzmaEncHandle encoder = LzmaEnc_Create(&gEncoderAlloc);
    if (!encoder) return "out of memory for the LZMA encoder";
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = settings.level;
    props.dictSize = settings.dictionarySize;
    // No larger than the stream needs (rounded as the encoder likes): the
    // installer allocates what the header names.
    props.reduceSize = unpackedSize;
    props.lc = 3;
    props.lp = 0;
    props.pb = 2;
    props.writeEndMark = 0;
    props.numThreads = 1;
    std::string error;
    uint8_t header[STREAM_HEADER_SIZE];
    SizeT propsSize = LZMA_PROPS_SIZE;
    if (LzmaEnc_SetProps(encoder, &props) != SZ_OK || LzmaEnc_WriteProperties(encoder, header, &propsSize) != SZ_OK) {
        LzmaEnc_Destroy(encoder, &gEncoderAlloc, &gEncoderAlloc);
        return "the LZMA encoder rejected its settings";
    }
    for (int i = 0; i < 4; ++i) header[5 + i] = static_cast<uint8_t>(unpackedSize >> (24 - 8 * i));

    InBridge in = {{BridgeRead}, &produce, 0, false};
    OutBridge out = {{BridgeWrite}, &write, false};
    ProgressBridge report = {{BridgeProgress}, &progress};
    if (!write(header, sizeof header)) {
        error = "cannot write the output";
    } else {
        SRes result = LzmaEnc_Encode(encoder, &out.vt, &in.vt, &report.vt, &gEncoderAlloc, &gEncoderAlloc);
        if (in.failed)
            error = "reading the input failed";  // the producer knows why
        else if (out.failed)
            error = "cannot write the output";
        else if (result != SZ_OK)
            error = "the LZMA encoder failed (code " + std::to_string(result) + ")";
        else if (in.delivered != unpackedSize)
            error = "the archive stream came out at " + std::to_string(in.delivered) + " bytes, not " +
                    std::to_string(unpackedSize);
    }
    LzmaEnc_Destroy(encoder, &gEncoderAlloc, &gEncoderAlloc);
    return error;
}

std::string ContainerPrefix(const Bytes& stub, Bytes* prefix) {
    *prefix = stub;
    if (prefix->size() < PAYLOAD_SEARCH_START) prefix->resize(PAYLOAD_SEARCH_START, 0);
    prefix->insert(prefix->end(), PAYLOAD_SIGNATURE, PAYLOAD_SIGNATURE + 4);
    // The installer takes the first signature from 89999 on: ours must be it.
    auto from = prefix->begin() + PAYLOAD_SEARCH_START;
    auto found = std::search(from, prefix->end(), PAYLOAD_SIGNATURE, PAYLOAD_SIGNATURE + 4);
    if (static_cast<size_t>(found - prefix->begin()) != prefix->size() - 4)
        return "the stub holds the payload signature at offset " + std::to_string(found - prefix->begin()) +
               " (at or after " + std::to_string(PAYLOAD_SEARCH_START) + ")";
    return std::string();
}

std::string BuildSetupFile(const Bytes& stub, const Bytes& archiveStream, const LzmaSettings& settings, Bytes* out) {
    std::string error = ContainerPrefix(stub, out);
    if (!error.empty()) return error;
    size_t offset = 0;
    StreamProducer produce = [&](uint8_t* buffer, size_t room, size_t* produced) {
        *produced = std::min(room, archiveStream.size() - offset);
        if (*produced) memcpy(buffer, archiveStream.data() + offset, *produced);
        offset += *produced;
        return true;
    };
    ByteWriter write = [&](const uint8_t* data, size_t size) {
        out->insert(out->end(), data, data + size);
        return true;
    };
    return EncodeLzmaStream(produce, static_cast<uint32_t>(archiveStream.size()), settings, write, nullptr);
}
