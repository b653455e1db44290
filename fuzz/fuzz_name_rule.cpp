// The shared name rule against Windows' own naming, as the files in memory
// keep it: a name passes the rule exactly when Windows would create it as
// written, as one plain file in the folder it is put in. Not a device, not a
// stream, not a path, nothing dropped from its end.
//
// Input layout: a mode byte, then the name.
//   bit 0     the name's bytes are UTF-16LE (set) or Windows-1252 (clear)
//   bit 1     the name is drawn from characters that make good names
//   bit 2     MakeSafeName gets no room to spare
// A table of good names is checked once at the start.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/cp1252.h"
#include "platform/memory_files.h"
#include "support/name_rule.h"

namespace {

// Whether Windows keeps the name as written: created in an empty folder, it
// is refused for nothing and lands there as one file of exactly that name.
bool KeptAsWritten(const std::u16string& name) {
    FuzzFreshFiles();
    std::u16string path = std::u16string(kFuzzFolder) + u"\\" + name;
    FileHandle file = FileCreateNew(path.c_str());
    if (file == NO_FILE) return false;
    FileClose(file);
    std::vector<MemoryFile> files = MemoryFilesList();
    return files.size() == 1 && files[0].path == path;
}

void Check(const std::u16string& name, bool expectGood, bool tight = false) {
    NameProblem problem = CheckName(name.data(), static_cast<int>(name.size()));
    bool kept = KeptAsWritten(name);
    if ((problem == NAME_OK) != kept)
        FuzzFail("the name rule says %d, Windows would %s the name as written", problem, kept ? "keep" : "not keep");
    if (expectGood && problem != NAME_OK) FuzzFail("a good name refused (%d)", problem);
    if (problem == NAME_DEVICE && MemoryFilesRefusedNames() == 0) FuzzFail("a device by the rule, not to Windows");

    // MakeSafeName works on text up to its terminator; what it makes passes.
    std::u16string text = name.substr(0, name.find(u'\0'));
    int room = static_cast<int>(text.size()) + (tight ? 1 : 2);
    std::vector<WideChar> buffer(text.begin(), text.end());
    buffer.resize(static_cast<size_t>(room), 0);
    MakeSafeName(buffer.data(), room);
    std::u16string safe(buffer.data());
    if (text.empty() != safe.empty()) FuzzFail("MakeSafeName made %zu characters of %zu", safe.size(), text.size());
    if (!safe.empty() && !IsSafeName(safe.data(), static_cast<int>(safe.size())))
        FuzzFail("MakeSafeName made a name that breaks the rule");
    if (!safe.empty() && !KeptAsWritten(safe)) FuzzFail("MakeSafeName made a name Windows would not keep");
    if (problem == NAME_OK && safe != name) FuzzFail("MakeSafeName changed a good name");
}

const char16_t kGoodCharacters[] = u"abcXYZ0189-_ .,;=+~!#$%&'()[]{}@^`\u00e9\u00c4\u00df\u20ac\u0416\u65e5";

std::u16string GoodName(const uint8_t* data, size_t size) {
    const size_t count = sizeof kGoodCharacters / sizeof kGoodCharacters[0] - 1;
    std::u16string name = u"n";  // never a leading dot alone, never empty
    for (size_t i = 0; i < size; ++i) name += kGoodCharacters[data[i] % count];
    while (name.back() == u'.' || name.back() == u' ') name.pop_back();
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char16_t* const kGood[] = {u"ReadMe.txt", u"a", u"CONSOLE", u"COM10", u"LPT", u"nul_", u".hidden",
                                     u"a..b", u"x y", u"\u00c4rger.txt", u"\u65e5\u672c", u"COM\u00b4", u"AUX_.log",
                                     u"Con Man.txt", u"x.", u"..."};
    for (const char16_t* name : kGood) {
        std::u16string text(name);
        // The last two are bad, kept to show that the table can fail.
        bool good = text != u"x." && text != u"...";
        Check(text, good);
        if (!good && IsSafeName(text.data(), static_cast<int>(text.size()))) FuzzFail("a bad name passed the rule");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FuzzInputFiles files;
    uint8_t mode = data[0];
    ++data;
    --size;
    std::u16string name;
    bool good = (mode & 2) != 0;
    if (good) {
        name = GoodName(data, size);
    } else if (mode & 1) {
        for (size_t i = 0; i + 1 < size; i += 2) name += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    } else {
        for (size_t i = 0; i < size; ++i) name += Cp1252ToUnicode(data[i]);
    }
    // A good name may still be a device ("nul.txt" from the good characters):
    // then only the agreement with Windows counts.
    Check(name, good && KeptAsWritten(name), (mode & 4) != 0);
    return 0;
}
