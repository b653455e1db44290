// The destination folder as the user typed it, made one that is safe to
// install into, remember and register: a full path, drive-rooted
// ("C:\Tools") or UNC ("\\server\share\Tools"), whose every component is a
// name that Windows keeps as written.
//
// The installer trims the text (TrimDestination), lets the system make it a
// full path (which resolves "." and ".." and turns slashes into
// backslashes), then cleans its components (CleanDestinationComponents).
// Both answer 0 or ERROR_CODE_BAD_PATHNAME, whose system text the user sees.
#pragma once

#include "platform/platform.h"

constexpr int32_t ERROR_CODE_BAD_PATHNAME = 161;

// Whether the text starts as a full path: a drive letter, a colon and a
// separator, or two separators and a server's name. Relative ("Tools"),
// drive-relative ("D:Tools") and root-relative ("\Tools") texts are not,
// nor are the system's own namespaces ("\\?\", "\\.\").
bool IsFullPathForm(const WideChar* path);

// Removes surrounding spaces, in place; 0 when the rest is of full-path form.
int32_t TrimDestination(WideChar* path);

// On a full path: drops a trailing separator (but for a drive's root) and the
// trailing dots and spaces of every component, then checks each component
// against the name rule. 0, or ERROR_CODE_BAD_PATHNAME with the path as it was.
int32_t CleanDestinationComponents(WideChar* path, int capacity);
