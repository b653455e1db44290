#include "dialog/language_list.h"

#include <commctrl.h>

#include "core/installer_state.h"
#include "core/string_tables.h"

// Every operation is a message to the list view itself: the control holds the
// items, their order and their check boxes, so there is no copy to keep in step.

const ListColumn LANGUAGE_COLUMNS[] = {
    {STRING_LANGUAGE_COLUMN, -1, 0},
    {0, 0, 0},
};

namespace {

enum : int {
    HEADER_TEXT_CAPACITY = 63,
    LANGUAGE_NAME_CAPACITY = 31,
    ITEM_TEXT_CAPACITY = 1024,
    SCROLL_BAR_MARGIN = 4,
};

// Index -1 addresses every item at once.
void SetStateImage(HWND list, int index, int image) {
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int StateImage(HWND list, int index) {
    LRESULT state = SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK);
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}

const StringTable* ActiveStrings() { return gInstallerState ? gInstallerState->strings : nullptr; }

void AddBuiltInLanguage(HWND list, int16_t textId, LanguageCode code) {
    wchar_t name[LANGUAGE_NAME_CAPACITY];
    LookupString(ActiveStrings(), textId, name, LANGUAGE_NAME_CAPACITY);
    AddLanguage(list, name, code);
}

// What a fill column gets: the client width less the fixed columns and room
// for a vertical scroll bar, so that no horizontal one appears.
int FillColumnWidth(HWND list, const ListColumn* columns) {
    int fixed = 0;
    for (const ListColumn* column = columns; column->textId != 0; ++column)
        if (column->width > 0) fixed += column->width;
    RECT client = {};
    GetClientRect(list, &client);
    int width = (client.right - client.left) - fixed - (GetSystemMetrics(SM_CXVSCROLL) + SCROLL_BAR_MARGIN);
    return width < MIN_FILL_COLUMN_WIDTH ? MIN_FILL_COLUMN_WIDTH : width;
}

void InsertColumn(HWND list, int index, int width, uint32_t format) {
    wchar_t empty[1] = {0};
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = static_cast<int>(format & 3);
    column.cx = width;
    column.pszText = empty;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetColumnText(HWND list, int index, int16_t textId) {
    wchar_t text[HEADER_TEXT_CAPACITY];
    LookupString(ActiveStrings(), textId, text, HEADER_TEXT_CAPACITY);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    SendMessageW(list, LVM_SETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

}  // namespace

int AddLanguage(HWND list, const wchar_t* displayName, LanguageCode code) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = LanguageCount(list);
    item.pszText = const_cast<wchar_t*>(displayName);
    item.lParam = static_cast<LPARAM>(code);
    // The sorted style moves the item to its place; the answer says where.
    int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    // -1 would address every item: a failed insertion must not check them all.
    if (index >= 0) SetStateImage(list, index, STATE_CHECKED);
    return index;
}

int FindLanguage(HWND list, LanguageCode code) {
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(code);
    // A start of -1 searches from the top; 0 would begin after the first item.
    return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

LanguageCode LanguageCodeAt(HWND list, int index) {
    // The list view fails the read for an index it does not hold; the text is
    // only asked for because the read of an item expects a buffer for it.
    wchar_t text[ITEM_TEXT_CAPACITY];
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = text;
    item.cchTextMax = ITEM_TEXT_CAPACITY;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<LanguageCode>(item.lParam);
}

int LanguageCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

bool IsLanguageChecked(HWND list, int index) { return StateImage(list, index) != STATE_UNCHECKED; }

void SetLanguageChecked(HWND list, int index, bool checked) {
    SetStateImage(list, index, checked ? STATE_CHECKED : STATE_UNCHECKED);
}

void CheckAllLanguages(HWND list) {
    if (list) SetStateImage(list, -1, STATE_CHECKED);
}

void UncheckAllLanguages(HWND list) {
    if (list) SetStateImage(list, -1, STATE_UNCHECKED);
}

void InvertLanguageChecks(HWND list) {
    if (!list) return;
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    int count = LanguageCount(list);
    for (int i = 0; i < count; ++i)
        SetStateImage(list, i, StateImage(list, i) == STATE_UNCHECKED ? STATE_CHECKED : STATE_UNCHECKED);
    SetCursor(previous);
}

void AddDefaultLanguages(HWND list) {
    AddBuiltInLanguage(list, STRING_LANGUAGE_US, LANGUAGE_US);
    AddBuiltInLanguage(list, STRING_LANGUAGE_DE, LANGUAGE_DE);
}

void InsertListColumns(HWND list, const ListColumn* columns) {
    for (int i = 0; columns[i].textId != 0; ++i) {
        int width = columns[i].width < 0 ? FillColumnWidth(list, columns) : columns[i].width;
        InsertColumn(list, i, width, columns[i].format);
    }
}

void SetListColumnTexts(HWND list, const ListColumn* columns) {
    for (int i = 0; columns[i].textId != 0; ++i) SetColumnText(list, i, columns[i].textId);
}

LanguageChoice* ReadLanguageChoices(HWND list, int* count) {
    *count = 0;
    int items = list ? LanguageCount(list) : 0;
    if (items <= 0) return nullptr;
    LanguageChoice* choices = static_cast<LanguageChoice*>(MemAlloc(sizeof(LanguageChoice) * static_cast<size_t>(items)));
    if (!choices) return nullptr;
    for (int i = 0; i < items; ++i) choices[i] = LanguageChoice{LanguageCodeAt(list, i), IsLanguageChecked(list, i)};
    *count = items;
    return choices;
}
