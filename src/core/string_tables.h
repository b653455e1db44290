// The installer's texts: three constant tables (English, German, Italian),
// the choice among them, and lookup by id. Dialog control ids double as
// string ids.
#pragma once

#include <stdint.h>

#include "core/control_ids.h"
#include "platform/platform.h"

// One entry of a table. The first entry is the header: its id is the
// encoding (-1 wide UTF-16 texts, anything else narrow ANSI texts) and its
// text the two-letter language code. An entry with id 0 and no text ends it.
struct StringTable {
    int16_t id;
    const void* text;
};

enum : int16_t {
    STRING_ENCODING_WIDE = -1,
    STRING_ENCODING_NARROW = 0,
};

// US (the default), DE, IT, then null.
extern const StringTable* const STRING_TABLES[];
// The title id, then the ids of the controls whose texts the dialog applies, then 0.
extern const int16_t DIALOG_TEXT_IDS[];

// A control's text has the control's id; the rest have ids of their own.
enum : int16_t {
    STRING_TITLE = SETUP_DIALOG_ID,
    STRING_OK = ID_OK_BUTTON,
    STRING_CANCEL = ID_CANCEL_BUTTON,
    STRING_LANGUAGE_COLUMN = ID_LANGUAGE_LIST,
    STRING_DESTINATION_LABEL = ID_DESTINATION_LABEL,
    STRING_PROGRAM_GROUP = ID_PROGRAM_GROUP_BOX,
    STRING_DESKTOP_ICON = ID_DESKTOP_BOX,
    STRING_QUICK_LAUNCH_ICON = ID_QUICK_LAUNCH_BOX,
    STRING_SELECT_ALL = ID_SELECT_ALL,
    STRING_DESELECT_ALL = ID_DESELECT_ALL,
    STRING_INVERT_SELECTION = ID_INVERT_SELECTION,
    STRING_LANGUAGE_US = 2001,
    STRING_LANGUAGE_DE = 2002,
    STRING_INSTALLED = 3000,
    STRING_BROKEN_FILE = 3001,
    STRING_CLOSE_PRODUCT = 3002,         // %s: the product's name
    STRING_CHECKING = 3003,
    STRING_WAITING_FOR_PRODUCT = 3004,   // %s: the product's name
};

// Writes "DE", "IT" or "US" and a terminator for a Windows language id.
void LanguageCodeForLangId(uint16_t langId, char* code);
// The same for the system's default language.
void DetectSystemLanguage(char* code);
// Sets `strings` (and `uiLanguage` when empty) in the installer state.
void SelectUiLanguage();
// The text of id into out (capacity characters; at most capacity - 2 are
// kept), tab escapes expanded. Empty for an unknown id or a null table.
void LookupString(const StringTable* table, int id, WideChar* out, int capacity);
// The text of id with every "%s" replaced by insert, cut to capacity - 1.
void LookupStringWith(const StringTable* table, int id, const WideChar* insert, WideChar* out, int capacity);
