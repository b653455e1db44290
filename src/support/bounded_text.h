// Bounded text and path functions.
//
// Texts live in fixed buffers owned by their users. Every function that
// writes takes the destination's capacity in elements, terminator included,
// and never writes past it: text that does not fit is cut. Arguments come
// source first, then destination, then capacity. Backslash and slash both
// separate path components; only the backslash is ever inserted.
#pragma once

#include "platform/platform.h"

// Path buffers hold this many wide characters, the terminator included.
enum : int { PATH_CAPACITY = 1024 };

enum : int {
    APPEND_OK = 0,          // appended whole, or nothing to do
    APPEND_TRUNCATED = 111, // appended cut to the room left; the buffer is now full
    APPEND_NO_ROOM = 123,   // not even one more character fitted; nothing appended
};

int WideLength(const WideChar* text);
int NarrowLength(const char* text);

// Copies at most capacity - 1 characters. A null destination is left alone;
// otherwise the destination is always terminated (empty for a null source).
void CopyBounded(const WideChar* source, WideChar* destination, int capacity);
int AppendBounded(const WideChar* source, WideChar* destination, int capacity);
int AppendBoundedA(const char* source, char* destination, int capacity);
// Empties the destination, then appends. The destination must be writable.
int SetBounded(const WideChar* source, WideChar* destination, int capacity);
// Converts narrow text and appends it to a wide buffer, cut to the room left.
void AppendNarrow(const char* narrowSource, WideChar* destination, int capacity);

// ANSI code page to UTF-16 and back, at most capacity - 1 elements; the
// element at capacity - 1 is always set to the terminator.
void ToWide(const char* narrowSource, WideChar* wideDestination, int capacity);
void ToNarrow(const WideChar* wideSource, char* narrowDestination, int capacity);

void AppendSeparator(WideChar* path, int capacity);
// Joins with exactly one separator; one leading separator of the component is dropped.
int AppendPathComponent(const WideChar* component, WideChar* path, int capacity);
// Cuts at the last separator, keeping a drive root such as C:\ whole.
void StripLastComponent(WideChar* path);
// Index of the first character after the last separator.
int FileNameOffset(const WideChar* path);

void TrimTrailingSpaces(WideChar* text);
// Turns each backslash-t pair into a tab.
void ExpandTabEscapes(WideChar* text);
