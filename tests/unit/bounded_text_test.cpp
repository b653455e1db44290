#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/bounded_text.h"
#include "platform/cp1252.h"

namespace {

using WideString = std::basic_string<WideChar>;

constexpr int kGuardedSize = 48;

// A value no function under test ever writes: any element that still holds it
// after a call was not touched, so a write past the capacity shows up.
template <typename Char>
constexpr Char kMark = static_cast<Char>(sizeof(Char) == 1 ? 0xA5 : 0xA5A5);

// A buffer filled with the marker, optionally holding a terminated text at
// its start, that remembers how it began.
template <typename Char>
struct Guarded {
    Char data[kGuardedSize];
    Char initial[kGuardedSize];

    explicit Guarded(const Char* text = nullptr) {
        for (Char& c : data) c = kMark<Char>;
        if (text) {
            int i = 0;
            for (; text[i]; ++i) data[i] = text[i];
            data[i] = 0;
        }
        for (int i = 0; i < kGuardedSize; ++i) initial[i] = data[i];
    }

    // The text up to the terminator; all of the buffer when none was written.
    std::basic_string<Char> Text() const {
        int length = 0;
        while (length < kGuardedSize && data[length]) ++length;
        return std::basic_string<Char>(data, length);
    }

    testing::AssertionResult UnchangedFrom(int index) const {
        for (int i = index < 0 ? 0 : index; i < kGuardedSize; ++i)
            if (data[i] != initial[i]) return testing::AssertionFailure() << "element " << i << " was overwritten";
        return testing::AssertionSuccess();
    }
};

// ASCII table text in the character type under test.
template <typename Char>
std::basic_string<Char> As(const char* ascii) {
    std::basic_string<Char> text;
    for (; *ascii; ++ascii) text += static_cast<Char>(static_cast<unsigned char>(*ascii));
    return text;
}

std::string Row(size_t index, const WideChar* text) {
    return "row " + std::to_string(index) + ": " + testing::PrintToString(WideString(text ? text : WIDE("(null)")));
}

// --- Copying and appending ---------------------------------------------------

TEST(BoundedTextCopy, CutsToCapacityMinusOne) {
    struct Case {
        const WideChar* source;
        int capacity;
        const WideChar* expected;
    };
    const Case cases[] = {
        {WIDE("abc"), 4, WIDE("abc")},
        {WIDE("abc"), 10, WIDE("abc")},
        {WIDE("abc"), 3, WIDE("ab")},
        {WIDE("abc"), 1, WIDE("")},
        {WIDE(""), 5, WIDE("")},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(Row(i, cases[i].source));
        Guarded<WideChar> buffer(WIDE("old contents"));
        CopyBounded(cases[i].source, buffer.data, cases[i].capacity);
        EXPECT_EQ(buffer.Text(), cases[i].expected);
        EXPECT_TRUE(buffer.UnchangedFrom(cases[i].capacity));
    }
}

TEST(BoundedTextCopy, EmptiesDestinationWhenThereIsNothingToCopy) {
    Guarded<WideChar> zeroCapacity(WIDE("old"));
    CopyBounded(WIDE("new"), zeroCapacity.data, 0);
    EXPECT_EQ(zeroCapacity.Text(), WIDE(""));
    EXPECT_TRUE(zeroCapacity.UnchangedFrom(1));

    Guarded<WideChar> nullSource(WIDE("old"));
    CopyBounded(nullptr, nullSource.data, 10);
    EXPECT_EQ(nullSource.Text(), WIDE(""));
    EXPECT_TRUE(nullSource.UnchangedFrom(1));

    CopyBounded(WIDE("new"), nullptr, 10);  // must simply not crash
}

// One table for both widths: the narrow append counts bytes exactly as the
// wide one counts units.
struct AppendCase {
    const char* initial;
    const char* source;
    int capacity;
    const char* expected;
    int result;
};

const AppendCase kAppendCases[] = {
    {"", "abc", 4, "abc", APPEND_OK},
    {"", "abc", 3, "ab", APPEND_TRUNCATED},
    {"ab", "cd", 5, "abcd", APPEND_OK},  // exactly fills the room
    {"ab", "cde", 5, "abcd", APPEND_TRUNCATED},
    {"ab", "", 5, "ab", APPEND_OK},
    {"123456789", "x", 10, "123456789", APPEND_NO_ROOM},
    {"123456789", "", 10, "123456789", APPEND_NO_ROOM},  // full buffer, even for nothing
    {"", "", 1, "", APPEND_NO_ROOM},
    {"", "a", 1, "", APPEND_NO_ROOM},
    {"abcdef", "x", 4, "abcdef", APPEND_NO_ROOM},  // already longer than the capacity
    {"ab", "x", 0, "ab", APPEND_OK},
    {"ab", "x", -1, "ab", APPEND_OK},
};

template <typename Char, typename Append>
void CheckAppendTable(Append append) {
    for (size_t i = 0; i < sizeof kAppendCases / sizeof kAppendCases[0]; ++i) {
        const AppendCase& c = kAppendCases[i];
        SCOPED_TRACE(testing::Message() << "row " << i << ": \"" << c.initial << "\" + \"" << c.source
                                        << "\", capacity " << c.capacity);
        std::basic_string<Char> initial = As<Char>(c.initial);
        std::basic_string<Char> source = As<Char>(c.source);
        Guarded<Char> buffer(initial.c_str());
        EXPECT_EQ(append(source.c_str(), buffer.data, c.capacity), c.result);
        EXPECT_EQ(buffer.Text(), As<Char>(c.expected));
        EXPECT_TRUE(buffer.UnchangedFrom(c.capacity));
    }
}

TEST(BoundedTextAppend, WideTable) { CheckAppendTable<WideChar>(AppendBounded); }

TEST(BoundedTextAppend, NarrowTable) { CheckAppendTable<char>(AppendBoundedA); }

TEST(BoundedTextAppend, NullArgumentsChangeNothing) {
    Guarded<WideChar> wide(WIDE("ab"));
    EXPECT_EQ(AppendBounded(nullptr, wide.data, 10), APPEND_OK);
    EXPECT_EQ(AppendBounded(WIDE("x"), nullptr, 10), APPEND_OK);
    EXPECT_TRUE(wide.UnchangedFrom(0));

    Guarded<char> narrow("ab");
    EXPECT_EQ(AppendBoundedA(nullptr, narrow.data, 10), APPEND_OK);
    EXPECT_EQ(AppendBoundedA("x", nullptr, 10), APPEND_OK);
    EXPECT_TRUE(narrow.UnchangedFrom(0));
}

TEST(BoundedTextSet, ReplacesRatherThanAppends) {
    struct Case {
        const WideChar* source;
        int capacity;
        const WideChar* expected;
        int result;
    };
    // The old contents are longer than every capacity here, so an append
    // would have found no room at all.
    const Case cases[] = {
        {WIDE("new"), 10, WIDE("new"), APPEND_OK},
        {WIDE("abcdef"), 4, WIDE("abc"), APPEND_TRUNCATED},
        {WIDE(""), 10, WIDE(""), APPEND_OK},
        {nullptr, 10, WIDE(""), APPEND_OK},
        {WIDE("x"), 1, WIDE(""), APPEND_NO_ROOM},
        {WIDE(""), 1, WIDE(""), APPEND_NO_ROOM},
        {nullptr, 1, WIDE(""), APPEND_OK},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(Row(i, cases[i].source));
        Guarded<WideChar> buffer(WIDE("old contents, long"));
        EXPECT_EQ(SetBounded(cases[i].source, buffer.data, cases[i].capacity), cases[i].result);
        EXPECT_EQ(buffer.Text(), cases[i].expected);
        EXPECT_TRUE(buffer.UnchangedFrom(cases[i].capacity));
    }
}

// --- Conversion between the ANSI code page and UTF-16 -------------------------

TEST(BoundedTextToWide, ConvertsWithinCapacity) {
    struct Case {
        const char* source;
        int capacity;
        const WideChar* expected;
    };
    const Case cases[] = {
        {"Setup", 32, WIDE("Setup")},
        {"\xE4\x80\x9F\xFF", 32, WIDE("\u00E4\u20AC\u0178\u00FF")},
        {"0123456789012345678901234567890123456789", 32, WIDE("0123456789012345678901234567890")},
        {"abc", 3, WIDE("ab")},
        {"abc", 1, WIDE("")},
        {"", 8, WIDE("")},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "row " << i << ": \"" << c.source << "\", capacity " << c.capacity);
        Guarded<WideChar> buffer(WIDE("old"));
        ToWide(c.source, buffer.data, c.capacity);
        EXPECT_EQ(buffer.Text(), c.expected);
        // The last element of the capacity is always terminated, however short the text.
        EXPECT_EQ(buffer.data[c.capacity - 1], 0);
        EXPECT_TRUE(buffer.UnchangedFrom(c.capacity));
    }
}

TEST(BoundedTextToWide, EmptiesDestinationWithoutSourceOrCapacity) {
    Guarded<WideChar> nullSource(WIDE("old"));
    ToWide(nullptr, nullSource.data, 10);
    EXPECT_EQ(nullSource.Text(), WIDE(""));
    EXPECT_TRUE(nullSource.UnchangedFrom(1));

    Guarded<WideChar> zeroCapacity(WIDE("old"));
    ToWide("new", zeroCapacity.data, 0);
    EXPECT_EQ(zeroCapacity.Text(), WIDE(""));
    EXPECT_TRUE(zeroCapacity.UnchangedFrom(1));

    ToWide("new", nullptr, 10);  // must simply not crash
}

TEST(BoundedTextToNarrow, ConvertsWithinCapacity) {
    struct Case {
        const WideChar* source;
        int capacity;
        const char* expected;
    };
    const Case cases[] = {
        {WIDE("Setup"), 32, "Setup"},
        {WIDE("\u00E4\u20AC\u0178\u00FF"), 32, "\xE4\x80\x9F\xFF"},
        {WIDE("a\u4E2Db"), 32, "a?b"},  // no such character in the code page
        {WIDE("abcdef"), 4, "abc"},
        {WIDE("abc"), 1, ""},
        {WIDE(""), 8, ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(Row(i, c.source));
        Guarded<char> buffer("old");
        ToNarrow(c.source, buffer.data, c.capacity);
        EXPECT_EQ(buffer.Text(), c.expected);
        EXPECT_EQ(buffer.data[c.capacity - 1], 0);
        EXPECT_TRUE(buffer.UnchangedFrom(c.capacity));
    }
}

TEST(BoundedTextToNarrow, EmptiesDestinationWithoutSourceOrCapacity) {
    Guarded<char> nullSource("old");
    ToNarrow(nullptr, nullSource.data, 10);
    EXPECT_EQ(nullSource.Text(), "");
    EXPECT_TRUE(nullSource.UnchangedFrom(1));

    Guarded<char> zeroCapacity("old");
    ToNarrow(WIDE("new"), zeroCapacity.data, 0);
    EXPECT_EQ(zeroCapacity.Text(), "");
    EXPECT_TRUE(zeroCapacity.UnchangedFrom(1));

    ToNarrow(WIDE("new"), nullptr, 10);  // must simply not crash
}

// Every byte of the code page goes through the system's conversion (or its
// stand-in) to the unit of the table and back to itself.
TEST(BoundedTextConvert, EveryByteRoundTripsThroughTheCodePage) {
    char bytes[256];
    for (int b = 1; b < 256; ++b) bytes[b - 1] = static_cast<char>(b);
    bytes[255] = 0;

    WideChar wide[257];
    ToWide(bytes, wide, 257);
    ASSERT_EQ(WideLength(wide), 255);
    for (int b = 1; b < 256; ++b)
        EXPECT_EQ(static_cast<char16_t>(wide[b - 1]), Cp1252ToUnicode(static_cast<uint8_t>(b))) << "byte " << b;

    char back[257];
    ToNarrow(wide, back, 257);
    EXPECT_EQ(std::string(back), std::string(bytes));
}

TEST(BoundedTextAppendNarrow, WidensIntoTheRoomLeft) {
    struct Case {
        const WideChar* initial;
        const char* source;
        int capacity;
        const WideChar* expected;
    };
    const Case cases[] = {
        {WIDE("C:\\Programs\\"), "Caf\xE9 \x80", 32, WIDE("C:\\Programs\\Caf\u00E9 \u20AC")},
        {WIDE(""), "abc", 32, WIDE("abc")},
        {WIDE("abc"), "defgh", 6, WIDE("abcde")},
        {WIDE("abc"), "de", 6, WIDE("abcde")},
        {WIDE("abcde"), "x", 6, WIDE("abcde")},
        {WIDE("abcdefgh"), "x", 6, WIDE("abcdefgh")},  // already longer than the capacity
        {WIDE("abc"), "", 6, WIDE("abc")},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(Row(i, c.initial));
        Guarded<WideChar> buffer(c.initial);
        AppendNarrow(c.source, buffer.data, c.capacity);
        EXPECT_EQ(buffer.Text(), c.expected);
        EXPECT_TRUE(buffer.UnchangedFrom(std::max<int>(c.capacity, WideString(c.initial).size() + 1)));
    }
}

TEST(BoundedTextAppendNarrow, NullSourceChangesNothing) {
    Guarded<WideChar> buffer(WIDE("abc"));
    AppendNarrow(nullptr, buffer.data, 10);
    EXPECT_TRUE(buffer.UnchangedFrom(0));
}

// --- Paths --------------------------------------------------------------------

TEST(BoundedTextPath, AppendSeparator) {
    struct Case {
        const WideChar* path;
        int capacity;
        const WideChar* expected;
    };
    const Case cases[] = {
        {WIDE(""), 16, WIDE("")},
        {WIDE("C:\\Data"), 16, WIDE("C:\\Data\\")},
        {WIDE("C:\\Data\\"), 16, WIDE("C:\\Data\\")},
        {WIDE("C:\\Data/"), 16, WIDE("C:\\Data/")},
        {WIDE("C:/Data"), 16, WIDE("C:/Data\\")},  // only the backslash is inserted
        {WIDE("Data"), 6, WIDE("Data\\")},
        {WIDE("Data"), 5, WIDE("Data")},  // a full buffer silently gets none
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(Row(i, cases[i].path));
        Guarded<WideChar> buffer(cases[i].path);
        AppendSeparator(buffer.data, cases[i].capacity);
        EXPECT_EQ(buffer.Text(), cases[i].expected);
        EXPECT_TRUE(buffer.UnchangedFrom(cases[i].capacity));
    }
}

TEST(BoundedTextPath, AppendPathComponent) {
    struct Case {
        const WideChar* path;
        const WideChar* component;
        int capacity;
        const WideChar* expected;
        int result;
    };
    const Case cases[] = {
        {WIDE("C:\\Data"), WIDE("x.txt"), 32, WIDE("C:\\Data\\x.txt"), APPEND_OK},
        {WIDE("C:\\Data"), WIDE("\\x.txt"), 32, WIDE("C:\\Data\\x.txt"), APPEND_OK},
        {WIDE("C:\\Data\\"), WIDE("x.txt"), 32, WIDE("C:\\Data\\x.txt"), APPEND_OK},
        {WIDE("C:\\Data/"), WIDE("/x.txt"), 32, WIDE("C:\\Data/x.txt"), APPEND_OK},
        {WIDE("C:\\Data"), WIDE("\\\\x"), 32, WIDE("C:\\Data\\\\x"), APPEND_OK},  // only one is dropped
        {WIDE(""), WIDE("x.txt"), 32, WIDE("x.txt"), APPEND_OK},
        {WIDE(""), WIDE("\\x.txt"), 32, WIDE("x.txt"), APPEND_OK},
        {WIDE("C:\\Data"), WIDE(""), 32, WIDE("C:\\Data"), APPEND_OK},
        {WIDE("C:\\Data"), WIDE("\\"), 32, WIDE("C:\\Data\\"), APPEND_OK},
        {WIDE("C:\\Data"), WIDE("x.txt"), 10, WIDE("C:\\Data\\x"), APPEND_TRUNCATED},
        {WIDE("C:\\Data"), WIDE("x"), 9, WIDE("C:\\Data\\"), APPEND_NO_ROOM},
        {WIDE("C:\\Data"), WIDE("x"), 8, WIDE("C:\\Data"), APPEND_NO_ROOM},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(Row(i, c.component));
        Guarded<WideChar> buffer(c.path);
        EXPECT_EQ(AppendPathComponent(c.component, buffer.data, c.capacity), c.result);
        EXPECT_EQ(buffer.Text(), c.expected);
        EXPECT_TRUE(buffer.UnchangedFrom(c.capacity));
    }
}

TEST(BoundedTextPath, AppendPathComponentNullArgumentsChangeNothing) {
    Guarded<WideChar> buffer(WIDE("C:\\Data"));
    EXPECT_EQ(AppendPathComponent(nullptr, buffer.data, 32), APPEND_OK);
    EXPECT_EQ(AppendPathComponent(WIDE("x"), nullptr, 32), APPEND_OK);
    EXPECT_TRUE(buffer.UnchangedFrom(0));
}

TEST(BoundedTextPath, StripLastComponent) {
    struct Case {
        const WideChar* path;
        const WideChar* expected;
    };
    const Case cases[] = {
        {WIDE("C:\\Data\\Readme.txt"), WIDE("C:\\Data")},
        {WIDE("C:\\Readme.txt"), WIDE("C:\\")},
        {WIDE("C:/Readme.txt"), WIDE("C:/")},
        {WIDE("C:\\"), WIDE("C:\\")},
        {WIDE("D:/x/y.txt"), WIDE("D:/x")},
        {WIDE("D:\\x/y.txt"), WIDE("D:\\x")},  // the last separator, whichever kind
        {WIDE("Data\\Sub\\"), WIDE("Data\\Sub")},
        {WIDE("AB\\x"), WIDE("AB")},  // a root needs the colon
        {WIDE("\\\\server\\share\\f"), WIDE("\\\\server\\share")},
        {WIDE("Readme.txt"), WIDE("")},
        {WIDE("C:"), WIDE("")},
        {WIDE("\\Readme.txt"), WIDE("")},
        {WIDE(""), WIDE("")},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(Row(i, cases[i].path));
        Guarded<WideChar> buffer(cases[i].path);
        StripLastComponent(buffer.data);
        EXPECT_EQ(buffer.Text(), cases[i].expected);
        EXPECT_TRUE(buffer.UnchangedFrom(WideString(cases[i].path).size() + 1));
    }
}

TEST(BoundedTextPath, FileNameOffset) {
    struct Case {
        const WideChar* path;
        int offset;
    };
    const Case cases[] = {
        {WIDE("C:\\a\\b.txt"), 5}, {WIDE("C:/a/b.txt"), 5}, {WIDE("a/b\\c"), 4}, {WIDE("a\\b/c"), 4},
        {WIDE("b.txt"), 0},        {WIDE("C:\\a\\"), 5},    {WIDE("\\"), 1},     {WIDE(""), 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(Row(i, cases[i].path));
        EXPECT_EQ(FileNameOffset(cases[i].path), cases[i].offset);
    }
}

// --- Cleaning in place ----------------------------------------------------------

struct InPlaceCase {
    const WideChar* text;
    const WideChar* expected;
};

template <size_t N>
void CheckInPlace(void (*clean)(WideChar*), const InPlaceCase (&cases)[N]) {
    for (size_t i = 0; i < N; ++i) {
        SCOPED_TRACE(Row(i, cases[i].text));
        Guarded<WideChar> buffer(cases[i].text);
        clean(buffer.data);
        EXPECT_EQ(buffer.Text(), cases[i].expected);
        // Cleaning only ever shortens: nothing past the old terminator moves.
        EXPECT_TRUE(buffer.UnchangedFrom(WideString(cases[i].text).size() + 1));
    }
}

TEST(BoundedTextClean, TrimTrailingSpaces) {
    const InPlaceCase cases[] = {
        {WIDE("abc  "), WIDE("abc")},
        {WIDE("abc"), WIDE("abc")},
        {WIDE(" a b "), WIDE(" a b")},
        {WIDE("abc \t"), WIDE("abc \t")},  // other white space ends the walk
        {WIDE("a\t  "), WIDE("a\t")},
        {WIDE("   "), WIDE("")},
        {WIDE(""), WIDE("")},
    };
    CheckInPlace(TrimTrailingSpaces, cases);
}

TEST(BoundedTextClean, ExpandTabEscapes) {
    const InPlaceCase cases[] = {
        {WIDE("a\\tb"), WIDE("a\tb")},
        {WIDE("a\\Tb"), WIDE("a\\Tb")},
        {WIDE("\\t\\t"), WIDE("\t\t")},
        {WIDE("Name\\tSize\\tDate"), WIDE("Name\tSize\tDate")},
        {WIDE("\\\\t"), WIDE("\\\t")},  // a backslash does not escape a backslash
        {WIDE("\\tt"), WIDE("\tt")},
        {WIDE("\\\\"), WIDE("\\\\")},
        {WIDE("end\\"), WIDE("end\\")},
        {WIDE("plain"), WIDE("plain")},
        {WIDE(""), WIDE("")},
    };
    CheckInPlace(ExpandTabEscapes, cases);
}

// --- The code page table ---------------------------------------------------------

TEST(BoundedTextCp1252, MapsBytesToUnicode) {
    struct Case {
        uint8_t byte;
        char16_t unit;
    };
    const Case cases[] = {
        {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081},
        {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x99, 0x2122},
        {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE4, 0x00E4}, {0xFF, 0x00FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.byte));
        EXPECT_EQ(Cp1252ToUnicode(c.byte), c.unit);
        EXPECT_EQ(Cp1252FromUnicode(c.unit), c.byte);
    }
}

// Exactly the 256 units of the table have a byte, and each leads back to it:
// C1 controls whose byte the code page gives to another character (U+0080 is
// not the euro sign's byte) must find none.
TEST(BoundedTextCp1252, ReverseMappingIsExactlyTheInverse) {
    int representable = 0;
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        int byte = Cp1252FromUnicode(static_cast<char16_t>(unit));
        if (byte < 0) continue;
        ++representable;
        ASSERT_LE(byte, 0xFF) << "unit " << unit;
        ASSERT_EQ(Cp1252ToUnicode(static_cast<uint8_t>(byte)), unit) << "unit " << unit;
    }
    EXPECT_EQ(representable, 256);
    for (char16_t unit : {u'\u0080', u'\u009F', u'\u0100', u'\u4E2D', u'\uFFFD'})
        EXPECT_EQ(Cp1252FromUnicode(unit), -1) << "unit " << int(unit);
}

}  // namespace
