// What goes into a setup file, and in which order.
//
// Every regular file below the product folder becomes one entry, named by its
// path relative to the folder with backslashes between the parts, in
// Windows-1252. The default order puts first what the installer's dialog
// needs, so that it is complete after a few kilobytes of the stream:
//   1. the smallest non-empty file of the top folder "32", then of "64" (one
//      is enough, before the description, for its platform line to show);
//   2. the root description file FILE_ID.DIZ;
//   3. the language files (*.LNG);
//   4. everything else;
// each group sorted by name, ASCII letters compared without case, then by the
// bytes. Lines of an order file may carry blanks behind them, and the file a
// UTF-8 byte-order mark in front. An order file (one name per line, either separator) puts the named
// files first, in its order; the rest follow in the default order. An empty
// file is never last: the installer cannot see an empty entry that ends the
// stream, so the last non-empty entry is moved behind it.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

struct PackageEntry {
    std::filesystem::path source;
    std::string name;     // Windows-1252, backslash-separated
    std::string shown;    // UTF-8, for messages
    uint64_t size = 0;
};

// Longest entry name in bytes. The format allows 1023, but a header whose
// name is longer than 1018 bytes cannot wait for its next block in the
// reader, and block borders fall where the decoder puts them.
constexpr size_t MAX_ENTRY_NAME = 1018;

// Fills `entries` in archive order; returns an error message or "". Links
// are followed (a loop is an error); the files in `excluded` (the output and
// its partial file) are never packed. Refused, naming the culprit: a name
// part that breaks the installer's name rule (support/name_rule.h) or holds
// a backslash, and two entries that the installer would write to the same
// file. Warnings (when asked for): files packed but never installed, and
// names beyond ASCII.
std::string PlanPackage(const std::filesystem::path& folder, const std::filesystem::path& orderFile,
                        std::vector<PackageEntry>* entries, const std::vector<std::filesystem::path>& excluded = {},
                        std::vector<std::string>* warnings = nullptr);

// Names an entry by its path relative to the product folder, with the
// checks of PlanPackage (name rule, backslash, Windows-1252, length); fills
// entry->name and entry->shown. Returns an error message or "".
std::string EntryName(const std::filesystem::path& relative, PackageEntry* entry);

// PlanPackage's work once the folder is walked, on named entries: the
// default order, the check for clashing names, the warnings, the order
// file's text (none: null; orderName names it in messages) and the move of
// an empty last file. folderName names the folder in messages.
std::string PlanEntries(std::vector<PackageEntry>* entries, const std::string* orderText, const std::string& orderName,
                        const std::string& folderName, std::vector<std::string>* warnings = nullptr);

// Checks a name or header text for what the archive cannot store: the byte
// 0xDD (which would be stored as the terminator) and characters beyond
// Windows-1252. Returns an error message or "".
std::string StorableText(const std::string& utf8, const char* what, size_t maxBytes, std::string* cp1252);
