// The dialog's list of installable languages: a one-column report list view
// with a check box before every item, kept sorted by display name. Each item
// pairs a display name with a LanguageCode, held as the item's parameter.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "passes/extract_handler.h"
#include "support/language_code.h"

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

// Adds a checked item; its index in the sorted list, or -1.
int AddLanguage(HWND list, const wchar_t* displayName, LanguageCode code);
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
// Every item's code and check, in list order, in a block of MemAlloc that the
// caller frees; null with *count 0 for a missing or empty list.
LanguageChoice* ReadLanguageChoices(HWND list, int* count);
