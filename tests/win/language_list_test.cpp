#include "dialog/language_list.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/installer_state.h"
#include "core/string_tables.h"
#include "test_window.h"

namespace {

constexpr LanguageCode kFrench = 0x5246;  // "FR"

std::string Code(LanguageCode code) {
    return std::string{static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF)};
}

// The language list in a real list view, built the way the setup dialog
// builds it: columns, header texts, extended styles, then the built-in items.
class LanguageListTest : public testing::Test {
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 200;

    void SetUp() override {
        ASSERT_NE(CreateInstallerState(), nullptr);
        UseLanguage("US");
        ASSERT_NE(TestHostWindow(), nullptr) << "no top-level window; is there an X display?";
        list_ = CreateListView(TestHostWindow(), kWidth, kHeight);
        ASSERT_NE(list_, nullptr) << "no list view";
    }

    void TearDown() override {
        if (list_) DestroyWindow(list_);
        ReleaseInstallerState();
    }

    static void UseLanguage(const char* code) {
        gInstallerState->uiLanguage[0] = code[0];
        gInstallerState->uiLanguage[1] = code[1];
        gInstallerState->uiLanguage[2] = 0;
        SelectUiLanguage();
    }

    void BuildAsDialog() {
        InsertListColumns(list_, LANGUAGE_COLUMNS);
        SetListColumnTexts(list_, LANGUAGE_COLUMNS);
        SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LANGUAGE_LIST_EX_STYLES);
        AddDefaultLanguages(list_);
    }

    std::wstring NameAt(int index) const {
        wchar_t text[256] = {};
        LVITEMW item = {};
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(list_, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
        return text;
    }

    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (int i = 0; i < LanguageCount(list_); ++i) names.push_back(NameAt(i));
        return names;
    }

    std::vector<std::string> Codes() const {
        std::vector<std::string> codes;
        for (int i = 0; i < LanguageCount(list_); ++i) codes.push_back(Code(LanguageCodeAt(list_, i)));
        return codes;
    }

    std::vector<bool> Checks() const {
        std::vector<bool> checks;
        for (int i = 0; i < LanguageCount(list_); ++i) checks.push_back(IsLanguageChecked(list_, i));
        return checks;
    }

    int StateImageAt(int index) const {
        return static_cast<int>(SendMessageW(list_, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) >> 12);
    }

    void SetStateImageAt(int index, int image) {
        LVITEMW item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(image);
        SendMessageW(list_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    }

    LVCOLUMNW ColumnAt(int index, wchar_t* text, int capacity) const {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = capacity;
        text[0] = 0;
        EXPECT_TRUE(SendMessageW(list_, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column)))
            << "no column " << index;
        return column;
    }

    int ClientWidth() const {
        RECT client = {};
        GetClientRect(list_, &client);
        return client.right - client.left;
    }

    HWND list_ = nullptr;
};

TEST_F(LanguageListTest, BuiltInItemsComeFromTheActiveTableSortedAndChecked) {
    struct Case {
        const char* ui;
        std::vector<std::wstring> names;
        std::vector<std::string> codes;
    };
    const Case cases[] = {
        {"US", {L"English", L"German"}, {"US", "DE"}},
        {"DE", {L"Deutsch", L"Englisch"}, {"DE", "US"}},
        {"IT", {L"English", L"German"}, {"US", "DE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ui);
        SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
        SendMessageW(list_, LVM_DELETECOLUMN, 0, 0);
        UseLanguage(c.ui);
        BuildAsDialog();
        EXPECT_EQ(Names(), c.names);
        EXPECT_EQ(Codes(), c.codes);
        EXPECT_EQ(StateImageAt(0), STATE_CHECKED);
        EXPECT_EQ(StateImageAt(1), STATE_CHECKED);
    }
}

TEST_F(LanguageListTest, AddedLanguageTakesItsSortedPlaceAndOnlyItGetsChecked) {
    BuildAsDialog();
    UncheckAllLanguages(list_);
    AddLanguage(list_, L"Francais", kFrench);

    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"English", L"Francais", L"German"}));
    EXPECT_EQ(FindLanguage(list_, kFrench), 1);
    EXPECT_EQ(FindLanguage(list_, LANGUAGE_DE), 2);
    EXPECT_EQ(FindLanguage(list_, LANGUAGE_US), 0);
    // The check belongs to where sorting put the item, not to the end index.
    EXPECT_EQ(Checks(), (std::vector<bool>{false, true, false}));
}

TEST_F(LanguageListTest, OrderIgnoresLetterCase) {
    BuildAsDialog();
    AddLanguage(list_, L"afrikaans", 0x4641);
    AddLanguage(list_, L"italiano", LANGUAGE_IT);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"afrikaans", L"English", L"German", L"italiano"}));
    EXPECT_EQ(Codes(), (std::vector<std::string>{"AF", "US", "DE", "IT"}));
}

TEST_F(LanguageListTest, FindLanguageSearchesFromTheTop) {
    BuildAsDialog();
    EXPECT_EQ(FindLanguage(list_, kFrench), -1);
    EXPECT_EQ(FindLanguage(list_, 0), -1);
    // Codes are unique in use; should one repeat, the first item wins.
    AddLanguage(list_, L"Afrikaans", LANGUAGE_DE);
    EXPECT_EQ(FindLanguage(list_, LANGUAGE_DE), 0);
}

TEST_F(LanguageListTest, LanguageCodeAtGivesZeroOutsideTheList) {
    EXPECT_EQ(LanguageCodeAt(list_, 0), 0u) << "empty list";
    BuildAsDialog();
    ASSERT_EQ(LanguageCount(list_), 2);
    EXPECT_EQ(LanguageCodeAt(list_, 0), LANGUAGE_US);
    EXPECT_EQ(LanguageCodeAt(list_, 1), LANGUAGE_DE);
    EXPECT_EQ(LanguageCodeAt(list_, 2), 0u);
    EXPECT_EQ(LanguageCodeAt(list_, -1), 0u);
}

TEST_F(LanguageListTest, CheckOperationsSetTheStateImages) {
    BuildAsDialog();
    AddLanguage(list_, L"Francais", kFrench);

    SetLanguageChecked(list_, 1, false);
    EXPECT_EQ(Checks(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(StateImageAt(1), STATE_UNCHECKED);

    InvertLanguageChecks(list_);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, true, false}));

    CheckAllLanguages(list_);
    EXPECT_EQ(Checks(), (std::vector<bool>{true, true, true}));

    UncheckAllLanguages(list_);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, false, false}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(StateImageAt(i), STATE_UNCHECKED) << i;

    InvertLanguageChecks(list_);
    EXPECT_EQ(Checks(), (std::vector<bool>{true, true, true}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(StateImageAt(i), STATE_CHECKED) << i;

    SetLanguageChecked(list_, 2, false);
    SetLanguageChecked(list_, 2, true);
    EXPECT_EQ(StateImageAt(2), STATE_CHECKED);
}

TEST_F(LanguageListTest, OnlyStateImageOneCountsAsUnchecked) {
    BuildAsDialog();
    SetStateImageAt(0, 0);
    ASSERT_EQ(StateImageAt(0), 0) << "the list view kept no state image 0";
    EXPECT_TRUE(IsLanguageChecked(list_, 0));
    // Inverting treats it as checked too.
    InvertLanguageChecks(list_);
    EXPECT_EQ(StateImageAt(0), STATE_UNCHECKED);
}

TEST_F(LanguageListTest, InvertRestoresTheCursor) {
    HCURSOR cross = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
    ASSERT_NE(cross, nullptr);

    SetCursor(cross);
    InvertLanguageChecks(list_);
    EXPECT_EQ(GetCursor(), cross) << "empty list";
    EXPECT_EQ(LanguageCount(list_), 0);

    BuildAsDialog();
    SetCursor(cross);
    InvertLanguageChecks(list_);
    EXPECT_EQ(GetCursor(), cross);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, false}));
}

TEST_F(LanguageListTest, FillColumnLeavesRoomForAVerticalScrollBar) {
    InsertListColumns(list_, LANGUAGE_COLUMNS);
    int reserve = GetSystemMetrics(SM_CXVSCROLL) + 4;
    ASSERT_GT(ClientWidth() - reserve, MIN_FILL_COLUMN_WIDTH) << "the test list is too narrow";
    EXPECT_EQ(SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0), ClientWidth() - reserve);
}

TEST_F(LanguageListTest, FillColumnIsNeverNarrowerThanTheMinimum) {
    DestroyWindow(list_);
    list_ = CreateListView(TestHostWindow(), 110, 100);
    ASSERT_NE(list_, nullptr);
    ASSERT_LT(ClientWidth() - (GetSystemMetrics(SM_CXVSCROLL) + 4), MIN_FILL_COLUMN_WIDTH);
    InsertListColumns(list_, LANGUAGE_COLUMNS);
    EXPECT_EQ(SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0), MIN_FILL_COLUMN_WIDTH);
}

TEST_F(LanguageListTest, ColumnTableGivesWidthsAlignmentsAndEmptyHeaders) {
    // The fill column shares the width with the fixed ones wherever it stands;
    // only the low two bits of the format are the alignment.
    const ListColumn columns[] = {
        {STRING_OK, 60, 0},
        {STRING_LANGUAGE_COLUMN, -5, 2},
        {STRING_CANCEL, 50, 0x801},
        {STRING_TITLE, 0, 0},
        {0, 0, 0},
        {STRING_INSTALLED, 70, 0},
    };
    InsertListColumns(list_, columns);
    int fill = ClientWidth() - 110 - (GetSystemMetrics(SM_CXVSCROLL) + 4);

    struct Expected {
        int width;
        int alignment;
    };
    const Expected expected[] = {{60, LVCFMT_LEFT}, {fill, LVCFMT_CENTER}, {50, LVCFMT_RIGHT}, {0, LVCFMT_LEFT}};
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 4) << "the end row stops the table";
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        wchar_t text[64];
        LVCOLUMNW column = ColumnAt(i, text, 64);
        EXPECT_EQ(column.cx, expected[i].width);
        EXPECT_EQ(column.fmt, expected[i].alignment);
        EXPECT_STREQ(text, L"");
    }
}

TEST_F(LanguageListTest, HeaderTextComesFromTheActiveTable) {
    struct Case {
        const char* ui;
        const wchar_t* text;
    };
    for (const Case& c : {Case{"US", L"Language"}, Case{"DE", L"Sprache"}, Case{"IT", L"Lingua"}}) {
        SCOPED_TRACE(c.ui);
        SendMessageW(list_, LVM_DELETECOLUMN, 0, 0);
        UseLanguage(c.ui);
        InsertListColumns(list_, LANGUAGE_COLUMNS);
        int width = static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0));
        SetListColumnTexts(list_, LANGUAGE_COLUMNS);
        wchar_t text[64];
        LVCOLUMNW column = ColumnAt(0, text, 64);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(column.cx, width) << "only the text changes";
    }
}

TEST_F(LanguageListTest, LongTableTextsAreCut) {
    const std::string longText(80, 'x');
    const StringTable table[] = {
        {STRING_ENCODING_NARROW, "XX"},
        {STRING_LANGUAGE_COLUMN, longText.c_str()},
        {STRING_LANGUAGE_US, longText.c_str()},
        {STRING_LANGUAGE_DE, "y"},
        {0, nullptr},
    };
    gInstallerState->strings = table;
    BuildAsDialog();

    wchar_t header[128];
    ColumnAt(0, header, 128);
    EXPECT_EQ(std::wstring(header), std::wstring(61, L'x'));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{std::wstring(29, L'x'), L"y"}));
    EXPECT_EQ(Codes(), (std::vector<std::string>{"US", "DE"}));
}

}  // namespace
