#include "core/string_tables.h"

#include "core/installer_state.h"
#include "support/bounded_text.h"

// Non-ASCII letters are in Windows-1252, as the ANSI code page of the systems
// these tables are for converts them.
namespace {

const StringTable kEnglish[] = {
    {STRING_ENCODING_NARROW, "US"},
    {1000, "Setup"},
    {99, "&OK"},
    {2, "Cancel"},
    {1010, "Language"},
    {1031, "Destination folder"},
    {1041, "Put entry to Start Menu"},
    {1042, "Create a Desktop icon"},
    {1043, "Create a Quick Launch icon"},
    {2001, "English"},
    {2002, "German"},
    {3001, "Broken file, please download again."},
    {3000, " has been successfully installed."},
    {136, "Select &all"},
    {137, "&Deselect all"},
    {138, "&Invert selection"},
    {0, nullptr},
};

const StringTable kGerman[] = {
    {STRING_ENCODING_NARROW, "DE"},
    {1000, "Installation"},
    {99, "&OK"},
    {2, "Abbruch"},
    {1010, "Sprache"},
    {1031, "Zielpfad:"},
    {1041, "Programmgruppe erstellen"},
    {1042, "Desktop-Symbol anlegen"},
    {1043, "Symbol in der Schnellstartleiste anlegen"},
    {2001, "Englisch"},
    {2002, "Deutsch"},
    {3001, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {3000, " wurde erfolgreich installiert."},
    {136, "Alles &markieren"},
    {137, "Markierung &aufheben"},
    {138, "Markierung &umkehren"},
    {0, nullptr},
};

const StringTable kItalian[] = {
    {STRING_ENCODING_NARROW, "IT"},
    {1000, "Installazione"},
    {99, "&OK"},
    {2, "Annulla"},
    {1010, "Lingua"},
    {1031, "Destinazione"},
    {1041, "Aggiungi collegamento nel menu Programmi"},
    {1042, "Aggiungi collegamento sul desktop"},
    {1043, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {2001, "English"},
    {2002, "German"},
    {3001, "File danneggiato, esegui di nuovo il download."},
    {3000, " \xE8 stato installato correttamente."},
    {136, "Seleziona tutto"},
    {137, "Deseleziona tutto"},
    {138, "Inverti selezione"},
    {0, nullptr},
};

bool SameCodeIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
        char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
        if (x != y) return false;
        if (x == 0) return true;
    }
}

}  // namespace

const StringTable* const STRING_TABLES[] = {kEnglish, kGerman, kItalian, nullptr};

const int16_t DIALOG_TEXT_IDS[] = {1000, 99, 2, 1031, 1041, 1042, 1043, 0};

void LanguageCodeForLangId(uint16_t langId, char* code) {
    const char* chosen = "US";
    switch (langId) {
        case 0x0407: case 0x0807: case 0x0C07: case 0x1007: case 0x1407: chosen = "DE"; break;
        case 0x0410: case 0x0810: chosen = "IT"; break;
    }
    code[0] = chosen[0];
    code[1] = chosen[1];
    code[2] = 0;
}

void DetectSystemLanguage(char* code) { LanguageCodeForLangId(SystemDefaultLangId(), code); }

void SelectUiLanguage() {
    InstallerState* state = gInstallerState;
    state->strings = STRING_TABLES[0];
    if (state->uiLanguage[0] == 0) DetectSystemLanguage(state->uiLanguage);
    for (int i = 0; STRING_TABLES[i]; ++i) {
        if (SameCodeIgnoringCase(static_cast<const char*>(STRING_TABLES[i]->text), state->uiLanguage)) {
            state->strings = STRING_TABLES[i];
            return;
        }
    }
}

void LookupString(const StringTable* table, int id, WideChar* out, int capacity) {
    if (capacity > 0) out[0] = 0;
    if (!table) return;
    if (capacity > 0) --capacity;  // one place kept for a final terminator
    const StringTable* entry = table + 1;
    while (entry->id != 0 && entry->id != id) ++entry;
    if (!entry->text || capacity < 1) return;
    if (table->id == STRING_ENCODING_WIDE)
        CopyBounded(static_cast<const WideChar*>(entry->text), out, capacity);
    else
        ToWide(static_cast<const char*>(entry->text), out, capacity);
    out[capacity] = 0;
    ExpandTabEscapes(out);
}
