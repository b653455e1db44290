#include "support/bounded_text.h"

namespace {

bool IsSeparator(WideChar c) { return c == '\\' || c == '/'; }

int LastSeparator(const WideChar* path) {
    int last = -1;
    for (int i = 0; path[i]; ++i)
        if (IsSeparator(path[i])) last = i;
    return last;
}

// The five steps of a bounded append, shared by the wide and narrow forms.
template <typename Char>
int AppendTo(const Char* source, Char* destination, int capacity) {
    if (capacity < 1 || !source || !destination) return APPEND_OK;
    int length = 0;
    while (destination[length]) ++length;
    int room = capacity - 1 - length;
    if (room <= 0) return APPEND_NO_ROOM;
    int sourceLength = 0;
    while (source[sourceLength]) ++sourceLength;
    Char* at = destination + length;
    if (sourceLength <= room) {
        for (int i = 0; i <= sourceLength; ++i) at[i] = source[i];
        return APPEND_OK;
    }
    for (int i = 0; i < room; ++i) at[i] = source[i];
    destination[capacity - 1] = 0;
    return APPEND_TRUNCATED;
}

}  // namespace

int WideLength(const WideChar* text) {
    int length = 0;
    while (text[length]) ++length;
    return length;
}

int NarrowLength(const char* text) {
    int length = 0;
    while (text[length]) ++length;
    return length;
}

void CopyBounded(const WideChar* source, WideChar* destination, int capacity) {
    if (!destination) return;
    destination[0] = 0;
    if (capacity < 1 || !source) return;
    int i = 0;
    for (; i < capacity - 1 && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
}

int AppendBounded(const WideChar* source, WideChar* destination, int capacity) {
    return AppendTo(source, destination, capacity);
}

int AppendBoundedA(const char* source, char* destination, int capacity) {
    return AppendTo(source, destination, capacity);
}

int SetBounded(const WideChar* source, WideChar* destination, int capacity) {
    destination[0] = 0;
    return AppendBounded(source, destination, capacity);
}

void ToWide(const char* narrowSource, WideChar* wideDestination, int capacity) {
    if (!wideDestination) return;
    wideDestination[0] = 0;
    if (capacity < 1 || !narrowSource) return;
    int count = AnsiToWide(narrowSource, NarrowLength(narrowSource), wideDestination, capacity);
    wideDestination[count] = 0;
    wideDestination[capacity - 1] = 0;
}

void ToNarrow(const WideChar* wideSource, char* narrowDestination, int capacity) {
    if (!narrowDestination) return;
    narrowDestination[0] = 0;
    if (capacity < 1 || !wideSource) return;
    int count = WideToAnsi(wideSource, WideLength(wideSource), narrowDestination, capacity);
    narrowDestination[count] = 0;
    narrowDestination[capacity - 1] = 0;
}

void AppendNarrow(const char* narrowSource, WideChar* destination, int capacity) {
    if (!narrowSource) return;
    int length = WideLength(destination);
    if (length < capacity) ToWide(narrowSource, destination + length, capacity - length);
}

void AppendSeparator(WideChar* path, int capacity) {
    int length = WideLength(path);
    if (length == 0 || IsSeparator(path[length - 1])) return;
    static const WideChar kBackslash[] = {'\\', 0};
    AppendBounded(kBackslash, path, capacity);
}

int AppendPathComponent(const WideChar* component, WideChar* path, int capacity) {
    if (!component || !path || !component[0]) return APPEND_OK;
    if (IsSeparator(component[0])) ++component;
    AppendSeparator(path, capacity);
    return AppendBounded(component, path, capacity);
}

void StripLastComponent(WideChar* path) {
    int i = LastSeparator(path);
    if (i < 0) i = 0;
    if (i == 2 && path[1] == ':') i = 3;
    path[i] = 0;
}

int FileNameOffset(const WideChar* path) { return LastSeparator(path) + 1; }

void TrimTrailingSpaces(WideChar* text) {
    for (int i = WideLength(text) - 1; i >= 0 && text[i] == ' '; --i) text[i] = 0;
}

void ExpandTabEscapes(WideChar* text) {
    for (int i = 0; text[i]; ++i) {
        if (text[i] != '\\' || text[i + 1] != 't') continue;
        text[i] = '\t';
        for (int j = i + 1; text[j]; ++j) text[j] = text[j + 1];
    }
}
