#pragma once

#include <stdint.h>

#include <functional>

// Whether a Windows program file carries an Authenticode signature: a
// certificate table, named by the fifth data directory of its optional
// header, that lies inside the file. readAt(offset, buffer, count) reads
// count bytes and says whether it got them all.
using ReadAt = std::function<bool(uint64_t offset, uint8_t* buffer, uint32_t count)>;
bool HasCertificateTable(const ReadAt& readAt, uint64_t fileSize);
