// Writing setup files: the stored forms of the archive stream, the LZMA
// stream around it and the container behind the stub. The layout is drawn in
// src/payload/payload_container.h and src/payload/archive_reader.h.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

void AppendStoredNumber(Bytes& out, uint32_t value);
// Narrow text as the archive stores it; the text must not hold byte 0xDD.
void AppendStoredText(Bytes& out, const std::string& text);
void AppendStoredData(Bytes& out, const uint8_t* data, size_t size);

// The header's date value for a calendar date.
uint32_t PackageDateValue(int year, int month, int day);

struct ArchiveHeaderFields {
    uint32_t checksum = 0;
    std::string productCode;
    std::string windowClass;
    std::string mainProgram;
    uint32_t date = 0;
};
void AppendArchiveHeader(Bytes& out, const ArchiveHeaderFields& header);
size_t ArchiveHeaderSize(const ArchiveHeaderFields& header);
// Size of an entry header with this (narrow) name.
size_t EntryHeaderSize(const std::string& name);

// What one entry adds to the archive checksum: its number k from 1, its
// narrow name and the sum of its data bytes.
uint32_t EntryChecksum(uint32_t k, const std::string& name, uint64_t size, uint64_t byteSum);

struct LzmaSettings {
    int level = 9;                       // 0..9, the encoder's effort
    uint32_t dictionarySize = 1u << 24;  // at most; cut to what the stream needs
};

// Pulls the archive stream piece by piece: fills up to `room` bytes and
// returns how many, 0 at the end; false on an error (the message is the
// producer's to keep).
using StreamProducer = std::function<bool(uint8_t* buffer, size_t room, size_t* produced)>;
using ByteWriter = std::function<bool(const uint8_t* data, size_t size)>;
using ProgressReport = std::function<void(uint64_t in, uint64_t out)>;

// Writes the 9-byte stream header and the raw LZMA data (no end marker) for a
// stream of exactly `unpackedSize` bytes. Returns an empty string or an error.
std::string EncodeLzmaStream(const StreamProducer& produce, uint32_t unpackedSize, const LzmaSettings& settings,
                             const ByteWriter& write, const ProgressReport& progress);

// The bytes of a setup file up to the stream header: the stub, zeros up to
// 89999 and the signature. Fails when the stub holds the signature at or after
// 89999, where the installer would take it for the payload.
std::string ContainerPrefix(const Bytes& stub, Bytes* prefix);

// A whole setup file in memory, for tests and small tools.
std::string BuildSetupFile(const Bytes& stub, const Bytes& archiveStream, const LzmaSettings& settings, Bytes* out);
