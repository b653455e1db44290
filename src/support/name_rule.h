// The one rule for names that reach the disk: a file or folder name that
// Windows creates as it is written, as a plain file. The packer refuses
// what breaks it, the installer's check refuses a package that holds it, and
// the extract filter never writes it.
//
// A name breaks the rule when it is empty, "." or "..", holds a character
// Windows forbids (< > : " / \ | ? * and 0x01-0x1F; ':' would make a stream,
// the slashes a path), ends in a dot or a space (Windows drops them, so two
// names could merge), or names a device: CON, PRN, AUX, NUL, COM0-9, LPT0-9
// and COM/LPT with a superscript 1, 2 or 3, also CONIN$ and CONOUT$, in any
// case, alone or before an extension, also with spaces before the dot
// ("NUL .txt").
#pragma once

#include "platform/platform.h"

enum NameProblem {
    NAME_OK,
    NAME_EMPTY,
    NAME_DOTS,            // "." or ".."
    NAME_FORBIDDEN_CHARACTER,
    NAME_TRAILING_DOT_OR_SPACE,
    NAME_DEVICE,
};

// The name's problem, if any; length counts its characters (no terminator needed).
NameProblem CheckName(const WideChar* name, int length);
inline bool IsSafeName(const WideChar* name, int length) { return CheckName(name, length) == NAME_OK; }

// Whether a name (the part before its first dot, spaces before that dot
// dropped) is one of the devices above.
bool IsDeviceName(const WideChar* name, int length);

// Turns text into a name that passes the rule, in place (at most capacity
// characters with the terminator): forbidden characters become '_',
// trailing dots and spaces go, a device name gets a '_' behind its device
// part ("CON" becomes "CON_", "NUL.txt" "NUL_.txt"), and a text of dots and
// spaces only ("." or "..") becomes "_". An empty text stays empty.
void MakeSafeName(WideChar* text, int capacity);
