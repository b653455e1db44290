// A language as the packages name it: two letters of a language file's name
// ("Tool_DE.LNG"), packed into 32 bits with the first letter in the low
// byte, so "US" = 0x5355. Up to four letters fit; the installer's own
// languages have two.
#pragma once

#include <stdint.h>

#include "support/ascii.h"

typedef uint32_t LanguageCode;

constexpr LanguageCode LANGUAGE_US = 0x5355;
constexpr LanguageCode LANGUAGE_DE = 0x4544;
constexpr LanguageCode LANGUAGE_IT = 0x5449;

// Packs the first min(count, 4) bytes of letters, ASCII letters upper-cased.
inline LanguageCode PackLanguageCode(const char* letters, int count) {
    LanguageCode code = 0;
    for (int i = 0; i < count && i < 4; ++i)
        code |= static_cast<LanguageCode>(static_cast<uint8_t>(UpperAscii(letters[i]))) << (8 * i);
    return code;
}

// The code's letters and a terminator, as file names carry them ("DE").
inline void LanguageCodeText(LanguageCode code, char* text) {
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(code >> (8 * i));
    text[4] = 0;
}
