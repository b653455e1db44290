#include "core/string_tables.h"

#include "core/installer_state.h"
#include "support/ascii.h"
#include "support/bounded_text.h"

// Non-ASCII letters are in Windows-1252, as the ANSI code page of the systems
// these tables are for converts them.
namespace {

const StringTable kEnglish[] = {
    {STRING_ENCODING_NARROW, "US"},
    {STRING_TITLE, "Setup"},
    {STRING_OK, "&OK"},
    {STRING_CANCEL, "Cancel"},
    {STRING_LANGUAGE_COLUMN, "Language"},
    {STRING_DESTINATION_LABEL, "Destination folder"},
    {STRING_PROGRAM_GROUP, "Put entry to Start Menu"},
    {STRING_DESKTOP_ICON, "Create a Desktop icon"},
    {STRING_QUICK_LAUNCH_ICON, "Create a Quick Launch icon"},
    {STRING_LANGUAGE_US, "English"},
    {STRING_LANGUAGE_DE, "German"},
    {STRING_BROKEN_FILE, "Broken file, please download again."},
    {STRING_INSTALLED, " has been successfully installed."},
    {STRING_CLOSE_PRODUCT, "Please close %s and click OK again."},
    {STRING_CHECKING, "Checking the package..."},
    {STRING_WAITING_FOR_PRODUCT, "Waiting for %s to close..."},
    {STRING_SELECT_ALL, "Select &all"},
    {STRING_DESELECT_ALL, "&Deselect all"},
    {STRING_INVERT_SELECTION, "&Invert selection"},
    {0, nullptr},
};

const StringTable kGerman[] = {
    {STRING_ENCODING_NARROW, "DE"},
    {STRING_TITLE, "Installation"},
    {STRING_OK, "&OK"},
    {STRING_CANCEL, "Abbruch"},
    {STRING_LANGUAGE_COLUMN, "Sprache"},
    {STRING_DESTINATION_LABEL, "Zielpfad:"},
    {STRING_PROGRAM_GROUP, "Programmgruppe erstellen"},
    {STRING_DESKTOP_ICON, "Desktop-Symbol anlegen"},
    {STRING_QUICK_LAUNCH_ICON, "Symbol in der Schnellstartleiste anlegen"},
    {STRING_LANGUAGE_US, "Englisch"},
    {STRING_LANGUAGE_DE, "Deutsch"},
    {STRING_BROKEN_FILE, "Die Datei ist besch\xE4" "digt, bitte nochmal herunterladen!"},
    {STRING_INSTALLED, " wurde erfolgreich installiert."},
    {STRING_CLOSE_PRODUCT, "Bitte schlie\xDF" "en Sie %s und klicken Sie erneut auf OK."},
    {STRING_CHECKING, "Das Paket wird gepr\xFC" "ft..."},
    {STRING_WAITING_FOR_PRODUCT, "Warten, bis %s beendet ist..."},
    {STRING_SELECT_ALL, "Alles &markieren"},
    {STRING_DESELECT_ALL, "Markierung &aufheben"},
    {STRING_INVERT_SELECTION, "Markierung &umkehren"},
    {0, nullptr},
};

const StringTable kItalian[] = {
    {STRING_ENCODING_NARROW, "IT"},
    {STRING_TITLE, "Installazione"},
    {STRING_OK, "&OK"},
    {STRING_CANCEL, "Annulla"},
    {STRING_LANGUAGE_COLUMN, "Lingua"},
    {STRING_DESTINATION_LABEL, "Destinazione"},
    {STRING_PROGRAM_GROUP, "Aggiungi collegamento nel menu Programmi"},
    {STRING_DESKTOP_ICON, "Aggiungi collegamento sul desktop"},
    {STRING_QUICK_LAUNCH_ICON, "Aggiungi collegamento sulla barra di Avvio veloce"},
    {STRING_LANGUAGE_US, "English"},
    {STRING_LANGUAGE_DE, "German"},
    {STRING_BROKEN_FILE, "File danneggiato, esegui di nuovo il download."},
    {STRING_INSTALLED, " \xE8 stato installato correttamente."},
    {STRING_CLOSE_PRODUCT, "Chiudere %s e fare clic di nuovo su OK."},
    {STRING_CHECKING, "Verifica del pacchetto in corso..."},
    {STRING_WAITING_FOR_PRODUCT, "In attesa della chiusura di %s..."},
    {STRING_SELECT_ALL, "Seleziona tutto"},
    {STRING_DESELECT_ALL, "Deseleziona tutto"},
    {STRING_INVERT_SELECTION, "Inverti selezione"},
    {0, nullptr},
};

}  // namespace

const StringTable* const STRING_TABLES[] = {kEnglish, kGerman, kItalian, nullptr};

const int16_t DIALOG_TEXT_IDS[] = {STRING_TITLE, 99, 2, 1031, 1041, 1042, 1043, 0};

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
        if (EqualsIgnoringCase(static_cast<const char*>(STRING_TABLES[i]->text), state->uiLanguage)) {
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

void LookupStringWith(const StringTable* table, int id, const WideChar* insert, WideChar* out, int capacity) {
    WideChar pattern[512];
    LookupString(table, id, pattern, 512);
    if (capacity < 1) return;
    out[0] = 0;
    int length = 0;
    for (int i = 0; pattern[i] && length < capacity - 1; ++i) {
        if (pattern[i] == '%' && pattern[i + 1] == 's') {
            for (const WideChar* c = insert; *c && length < capacity - 1; ++c) out[length++] = *c;
            ++i;
            continue;
        }
        out[length++] = pattern[i];
    }
    out[length] = 0;
}
