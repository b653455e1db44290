#include "text_encoding.h"

#include "platform/cp1252.h"
#include "platform/utf8.h"

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
    char bytes[4];
    out.append(bytes, static_cast<size_t>(EncodeUtf8(c, bytes)));
}

}  // namespace

bool Utf8ToCp1252(const std::string& utf8, std::string* cp1252) {
    cp1252->clear();
    for (size_t i = 0; i < utf8.size();) {
        uint8_t lead = static_cast<uint8_t>(utf8[i]);
        int extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                  : lead >= 0xF0 && lead < 0xF5 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= utf8.size()) return false;
        uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            uint8_t next = static_cast<uint8_t>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        static const uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[extra] || c > 0xFFFF) return false;  // overlong, or beyond the code page anyway
        int byte = Cp1252FromUnicode(static_cast<char16_t>(c));
        if (byte < 0) return false;
        *cp1252 += static_cast<char>(byte);
        i += 1 + extra;
    }
    return true;
}

std::string Cp1252ToUtf8(const std::string& cp1252) {
    std::string out;
    for (char c : cp1252) AppendUtf8(out, Cp1252ToUnicode(static_cast<uint8_t>(c)));
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::basic_string<WideChar> units(text.begin(), text.end());
    std::string out;
    for (size_t at = 0; at < units.size();) AppendUtf8(out, NextCodePoint(units.data(), units.size(), &at));
    return out;
}

std::basic_string<WideChar> WidePath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return path.u16string();
#endif
}

std::string WideToUtf8(const WideChar* text) {
    std::u16string units;
    for (; *text; ++text) units += static_cast<char16_t>(*text);
    return Utf16ToUtf8(units);
}
