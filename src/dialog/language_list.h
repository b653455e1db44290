// The dialog's list of installable languages: a one-column report list view
// with a check box before every item, kept sorted by display name. Each item
// pairs a display name with a LanguageCode, held as the item's parameter.
#pragma once

#include <windows.h>
#include <stdint.h>

// Two letters packed into 32 bits, the first in the low byte: "US" = 0x5355.
typedef uint32_t LanguageCode;

constexpr LanguageCode LANGUAGE_US = 0x5355;
constexpr LanguageCode LANGUAGE_DE = 0x4544;
constexpr LanguageCode LANGUAGE_IT = 0x5449;

// The code's four bytes and a terminator, as the file names carry it ("DE").
inline void LanguageCodeText(LanguageCode code, char* text) {
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(code >> (8 * i));
    text[4] = 0;
}

enum : int {
    STATE_UNCHECKED = 1,  // the list view's check-box state images
    STATE_CHECKED = 2,
    MIN_FILL_COLUMN_WIDTH = 100,
};

constexpr DWORD LANGUAGE_LIST_EX_STYLES = 0x424;  // check boxes, full-row select, info tips

struct ListColumn {
    int16_t textId;  // string id of the header text; 0 ends a table
    int32_t width;   // pixels; negative: fill what the others leave
    uint32_t format; // low two bits: 0 left, 1 right, 2 centre
};

extern const ListColumn LANGUAGE_COLUMNS[];

void AddLanguage(HWND list, const wchar_t* displayName, LanguageCode code);
int FindLanguage(HWND list, LanguageCode code);
LanguageCode LanguageCodeAt(HWND list, int index);
int LanguageCount(HWND list);
bool IsLanguageChecked(HWND list, int index);
void SetLanguageChecked(HWND list, int index, bool checked);
// These three do nothing when list is null.
void CheckAllLanguages(HWND list);
void UncheckAllLanguages(HWND list);
void InvertLanguageChecks(HWND list);
void AddDefaultLanguages(HWND list);
void InsertListColumns(HWND list, const ListColumn* columns);
void SetListColumnTexts(HWND list, const ListColumn* columns);
