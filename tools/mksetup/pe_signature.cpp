#include "pe_signature.h"

#include <string.h>

namespace {

uint32_t Little32(const uint8_t* b) { return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24); }

}  // namespace

bool HasCertificateTable(const ReadAt& readAt, uint64_t fileSize) {
    uint8_t dos[64], pe[24 + 2], entry[8];
    if (!readAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    uint32_t peOffset = Little32(dos + 0x3C);
    if (!readAt(peOffset, pe, sizeof pe) || memcmp(pe, "PE\0\0", 4) != 0) return false;
    // The data directories follow the optional header's fixed part, which is
    // longer in a 64-bit program (magic 0x20B) than in a 32-bit one (0x10B).
    uint16_t magic = static_cast<uint16_t>(pe[24] | (pe[25] << 8));
    if (magic != 0x20B && magic != 0x10B) return false;
    uint64_t directory = uint64_t{peOffset} + 24 + (magic == 0x20B ? 112 : 96) + 4 * 8;
    if (!readAt(directory, entry, sizeof entry)) return false;
    uint32_t offset = Little32(entry), size = Little32(entry + 4);
    return size > 8 && offset > 0 && uint64_t{offset} + size <= fileSize;
}
