// ASCII letter case, as the package conventions compare names: only 'a' to
// 'z' fold, whatever the text's code page, so that a rule reads the same on
// every system.
#pragma once

template <typename Char>
inline Char UpperAscii(Char c) {
    return c >= 'a' && c <= 'z' ? static_cast<Char>(c - 'a' + 'A') : c;
}

// Whether text begins with word (ASCII), ignoring ASCII case.
template <typename Char>
inline bool StartsWithIgnoringCase(const Char* text, const char* word) {
    for (; *word; ++text, ++word)
        if (*text == 0 || UpperAscii(*text) != UpperAscii(static_cast<Char>(*word))) return false;
    return true;
}

// Whether two texts are equal, ignoring ASCII case.
template <typename Char, typename Other>
inline bool EqualsIgnoringCase(const Char* a, const Other* b) {
    for (;; ++a, ++b) {
        Char x = UpperAscii(*a);
        Char y = UpperAscii(static_cast<Char>(*b));
        if (x != y) return false;
        if (x == 0) return true;
    }
}
