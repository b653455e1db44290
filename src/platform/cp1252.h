// Windows-1252, the code page that setup files store their names in and that
// stands in for the ANSI code page off Windows.
#pragma once

#include <stdint.h>

// The UTF-16 unit for a byte. The five bytes that the code page leaves
// undefined (81, 8D, 8F, 90, 9D) map to the C1 controls of the same value, as
// Windows maps them.
char16_t Cp1252ToUnicode(uint8_t byte);
// The byte for a UTF-16 unit, or -1 when the code page has none.
int Cp1252FromUnicode(char16_t unit);
