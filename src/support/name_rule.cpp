#include "support/name_rule.h"

#include "support/ascii.h"

namespace {

bool IsForbidden(WideChar c) {
    if (c >= 1 && c < 0x20) return true;
    switch (c) {
        case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*': return true;
    }
    return false;
}

bool IsSuperscriptDigit(WideChar c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; }

bool SameAscii(const WideChar* text, int length, const char* word) {
    int i = 0;
    for (; i < length && word[i]; ++i)
        if (UpperAscii(text[i]) != static_cast<WideChar>(word[i])) return false;
    return i == length && word[i] == 0;
}

}  // namespace

bool IsDeviceName(const WideChar* name, int length) {
    int stem = 0;
    while (stem < length && name[stem] != '.') ++stem;
    while (stem > 0 && name[stem - 1] == ' ') --stem;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (SameAscii(name, stem, device)) return true;
    if (stem != 4) return false;
    if (!SameAscii(name, 3, "COM") && !SameAscii(name, 3, "LPT")) return false;
    WideChar digit = name[3];
    return (digit >= '0' && digit <= '9') || IsSuperscriptDigit(digit);
}

NameProblem CheckName(const WideChar* name, int length) {
    if (length <= 0) return NAME_EMPTY;
    if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.')) return NAME_DOTS;
    for (int i = 0; i < length; ++i)
        if (name[i] == 0 || IsForbidden(name[i])) return NAME_FORBIDDEN_CHARACTER;
    if (name[length - 1] == '.' || name[length - 1] == ' ') return NAME_TRAILING_DOT_OR_SPACE;
    if (IsDeviceName(name, length)) return NAME_DEVICE;
    return NAME_OK;
}

void MakeSafeName(WideChar* text, int capacity) {
    if (capacity < 1) return;
    bool hadText = text[0] != 0;
    int length = 0;
    while (length < capacity - 1 && text[length]) {
        if (IsForbidden(text[length])) text[length] = '_';
        ++length;
    }
    text[length] = 0;
    while (length > 0 && (text[length - 1] == '.' || text[length - 1] == ' ')) text[--length] = 0;
    if (length == 0) {
        // Only dots and spaces ("." and ".." among them): a name that would
        // vanish, and with it the folder it was meant to make.
        if (hadText && capacity >= 2) {
            text[0] = '_';
            text[1] = 0;
        }
        return;
    }
    if (!IsDeviceName(text, length)) return;
    // The '_' goes right behind the device's name, before any extension, so
    // that "CON.txt" becomes "CON_.txt"; in a full buffer the device's last
    // letter becomes the '_'.
    int stem = 0;
    while (stem < length && text[stem] != '.' && text[stem] != ' ') ++stem;
    if (length + 1 >= capacity) {
        text[stem - 1] = '_';  // no room: "CON" becomes "CO_"
        return;
    }
    for (int i = length; i > stem; --i) text[i] = text[i - 1];
    text[stem] = '_';
    text[length + 1] = 0;
}
