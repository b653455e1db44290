// UTF-8 on the command line and in file names, Windows-1252 in the archive.
#pragma once

#include <filesystem>
#include <string>

#include "platform/platform.h"

// Strict conversion: false when the text is no valid UTF-8 or holds a
// character that Windows-1252 cannot represent.
bool Utf8ToCp1252(const std::string& utf8, std::string* cp1252);
std::string Cp1252ToUtf8(const std::string& cp1252);
std::string Utf16ToUtf8(const std::u16string& text);

// A path as the platform layer takes it, and wide text back to UTF-8.
std::basic_string<WideChar> WidePath(const std::filesystem::path& path);
std::string WideToUtf8(const WideChar* text);
