// UTF-16 and UTF-8, the two Unicode forms the project meets: UTF-16 is its
// wide text, UTF-8 what POSIX file names and the packer's users speak.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

// The code point at text[*at], joining a surrogate pair; moves *at past it.
// A lone surrogate stands for itself.
inline uint32_t NextCodePoint(const WideChar* text, size_t length, size_t* at) {
    uint32_t c = static_cast<uint16_t>(text[*at]);
    *at += 1;
    if (c >= 0xD800 && c <= 0xDBFF && *at < length) {
        uint32_t low = static_cast<uint16_t>(text[*at]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
            *at += 1;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return c;
}

// Writes the UTF-8 form of a code point (at most 0x10FFFF) to out, which has
// room for four bytes; returns how many it wrote.
inline int EncodeUtf8(uint32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}
