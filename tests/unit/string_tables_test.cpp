#include "core/string_tables.h"

#include <gtest/gtest.h>

#include <string>

#include "core/installer_state.h"

namespace {

using WideString = std::basic_string<WideChar>;

constexpr int kBufferSize = 64;
constexpr WideChar kMark = 0x2A2A;  // never written by a lookup

const StringTable* TableFor(const char* code) {
    for (int i = 0; STRING_TABLES[i]; ++i)
        if (std::string(static_cast<const char*>(STRING_TABLES[i]->text)) == code) return STRING_TABLES[i];
    return nullptr;
}

// A lookup into a buffer pre-filled with a mark, so that a write past the
// capacity stays visible.
struct Lookup {
    WideChar buffer[kBufferSize];

    Lookup(const StringTable* table, int id, int capacity = kBufferSize) {
        for (WideChar& c : buffer) c = kMark;
        LookupString(table, id, buffer, capacity);
    }
    WideString Text() const { return WideString(buffer); }
    bool UntouchedFrom(int index) const {
        for (int i = index; i < kBufferSize; ++i)
            if (buffer[i] != kMark) return false;
        return true;
    }
};

TEST(StringTable, TablesInOrderWithTheirCodes) {
    ASSERT_NE(STRING_TABLES[0], nullptr);
    ASSERT_NE(STRING_TABLES[1], nullptr);
    ASSERT_NE(STRING_TABLES[2], nullptr);
    EXPECT_EQ(STRING_TABLES[3], nullptr);
    EXPECT_STREQ(static_cast<const char*>(STRING_TABLES[0]->text), "US");
    EXPECT_STREQ(static_cast<const char*>(STRING_TABLES[1]->text), "DE");
    EXPECT_STREQ(static_cast<const char*>(STRING_TABLES[2]->text), "IT");
}

TEST(StringTable, TextsByIdInEachLanguage) {
    struct Case {
        const char* table;
        int id;
        const WideChar* text;
    };
    const Case cases[] = {
        {"US", 1000, WIDE("Setup")},
        {"US", 2, WIDE("Cancel")},
        {"US", 3000, WIDE(" has been successfully installed.")},
        {"US", 138, WIDE("&Invert selection")},
        {"DE", 1000, WIDE("Installation")},
        {"DE", 2, WIDE("Abbruch")},
        {"DE", 1010, WIDE("Sprache")},
        {"DE", 3001, WIDE("Die Datei ist besch\u00E4digt, bitte nochmal herunterladen!")},
        {"DE", 2001, WIDE("Englisch")},
        {"IT", 1000, WIDE("Installazione")},
        {"IT", 2, WIDE("Annulla")},
        {"IT", 3000, WIDE(" \u00E8 stato installato correttamente.")},
        {"IT", 2002, WIDE("German")},
        {"IT", 136, WIDE("Seleziona tutto")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + std::to_string(c.id));
        EXPECT_EQ(Lookup(TableFor(c.table), c.id).Text(), c.text);
    }
}

TEST(StringTable, UnknownIdsAndNullTableGiveEmptyText) {
    for (int id : {5, 1500, 0, -1}) {
        for (int i = 0; STRING_TABLES[i]; ++i) {
            SCOPED_TRACE(std::to_string(id) + " in table " + std::to_string(i));
            Lookup lookup(STRING_TABLES[i], id);
            EXPECT_EQ(lookup.Text(), WIDE(""));
            EXPECT_TRUE(lookup.UntouchedFrom(1));
        }
    }
    Lookup none(nullptr, 1000);
    EXPECT_EQ(none.Text(), WIDE(""));
    EXPECT_TRUE(none.UntouchedFrom(1));
}

TEST(StringTable, CapacityKeepsAtMostTwoLessCharacters) {
    const StringTable* german = TableFor("DE");
    Lookup cut(german, 1043, 20);
    EXPECT_EQ(cut.Text(), WIDE("Symbol in der Schn"));
    EXPECT_EQ(cut.Text().size(), 18u);
    EXPECT_TRUE(cut.UntouchedFrom(20));

    Lookup exact(german, 2, 9);  // "Abbruch" is 7 long: just fits
    EXPECT_EQ(exact.Text(), WIDE("Abbruch"));
    EXPECT_TRUE(exact.UntouchedFrom(9));

    Lookup two(german, 2, 2);
    EXPECT_EQ(two.Text(), WIDE(""));
    EXPECT_TRUE(two.UntouchedFrom(2));

    Lookup one(german, 2, 1);
    EXPECT_EQ(one.buffer[0], 0);
    EXPECT_TRUE(one.UntouchedFrom(1));

    Lookup zero(german, 2, 0);
    EXPECT_TRUE(zero.UntouchedFrom(0));
}

TEST(StringTable, TabEscapesAreExpanded) {
    const StringTable narrow[] = {
        {STRING_ENCODING_NARROW, "XX"},
        {7, "a\\tb"},
        {8, "\\t\\\\t\\"},
        {0, nullptr},
    };
    EXPECT_EQ(Lookup(narrow, 7).Text(), WIDE("a\tb"));
    EXPECT_EQ(Lookup(narrow, 8).Text(), WIDE("\t\\\t\\"));
}

TEST(StringTable, WideTableIsCopiedAsIs) {
    const StringTable wide[] = {
        {STRING_ENCODING_WIDE, "XX"},
        {7, WIDE("\u03A9 x\\ty")},
        {7, WIDE("second")},
        {0, nullptr},
    };
    EXPECT_EQ(Lookup(wide, 7).Text(), WIDE("\u03A9 x\ty")) << "the first of two equal ids wins";
    Lookup cut(wide, 7, 4);
    EXPECT_EQ(cut.Text(), WIDE("\u03A9 "));
    EXPECT_TRUE(cut.UntouchedFrom(4));
}

TEST(StringTable, LanguageCodeForLangId) {
    struct Case {
        uint16_t langId;
        const char* code;
    };
    const Case cases[] = {
        {0x0407, "DE"}, {0x0807, "DE"}, {0x0C07, "DE"}, {0x1007, "DE"}, {0x1407, "DE"},
        {0x0410, "IT"}, {0x0810, "IT"},
        {0x040C, "US"}, {0x0809, "US"}, {0x0409, "US"}, {0x0007, "US"}, {0x1807, "US"}, {0x0000, "US"},
    };
    for (const Case& c : cases) {
        char code[4] = {'?', '?', '?', '?'};
        LanguageCodeForLangId(c.langId, code);
        EXPECT_STREQ(code, c.code) << std::hex << c.langId;
        EXPECT_EQ(code[3], '?') << "wrote past the terminator";
    }
}

class StringTableUiLanguage : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(CreateInstallerState(), nullptr); }
    void TearDown() override { ReleaseInstallerState(); }
};

TEST_F(StringTableUiLanguage, PresetLanguagePicksItsTableIgnoringCase) {
    struct Case {
        const char* preset;
        const StringTable* table;
    };
    const Case cases[] = {
        {"de", STRING_TABLES[1]}, {"IT", STRING_TABLES[2]}, {"xx", STRING_TABLES[0]},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        gInstallerState->strings = nullptr;
        gInstallerState->uiLanguage[0] = c.preset[0];
        gInstallerState->uiLanguage[1] = c.preset[1];
        gInstallerState->uiLanguage[2] = 0;
        SelectUiLanguage();
        EXPECT_EQ(gInstallerState->strings, c.table);
        EXPECT_STREQ(gInstallerState->uiLanguage, c.preset) << "a preset language stays as it was";
    }
}

TEST_F(StringTableUiLanguage, EmptyLanguageFollowsTheSystem) {
    char expected[3];
    DetectSystemLanguage(expected);
    SelectUiLanguage();
    EXPECT_STREQ(gInstallerState->uiLanguage, expected);
    EXPECT_EQ(gInstallerState->strings, TableFor(expected));
}

}  // namespace
