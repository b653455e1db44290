#include "install/destination.h"

#include "core/installer_state.h"
#include "support/bounded_text.h"
#include "install/shortcuts.h"
#include "support/destination_path.h"
#include "support/files_messages.h"

namespace {

const wchar_t kRememberKey[] = L"Software\\Norvalent";

// Reads a REG_SZ value into buffer. A value that does not fit, or that is
// not terminated within the buffer, counts as missing.
bool ReadStringValue(HKEY root, const wchar_t* key, const wchar_t* name, wchar_t* buffer, int capacity) {
    buffer[0] = 0;
    HKEY handle;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(capacity) * sizeof(wchar_t);
    LONG status = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(handle);
    DWORD units = bytes / sizeof(wchar_t);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = 0;
        return false;
    }
    if (units < static_cast<DWORD>(capacity)) {
        buffer[units] = 0;
    } else if (buffer[capacity - 1] != 0) {
        buffer[0] = 0;
        return false;
    }
    return true;
}

void ProductCodeName(const char* productCode, wchar_t* name) { ToWide(productCode, name, PRODUCT_CODE_CAPACITY); }

void ProgramsFolder(wchar_t* buffer, int capacity) {
    ReadStringValue(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", buffer,
                    capacity);
    if (buffer[0]) return;
    DWORD length = GetEnvironmentVariableW(L"ProgramFiles", buffer, static_cast<DWORD>(capacity));
    if (length == 0 || length >= static_cast<DWORD>(capacity)) buffer[0] = 0;  // too long counts as missing
    if (buffer[0]) return;
    wchar_t windows[PATH_CAPACITY];
    UINT got = GetWindowsDirectoryW(windows, PATH_CAPACITY);
    if (got == 0 || got >= PATH_CAPACITY) windows[0] = 0;
    SetBounded(windows, buffer, capacity);
    StripLastComponent(buffer);
    AppendSeparator(buffer, capacity);
    int root = WideLength(buffer);
    AppendBounded(L"Programme", buffer, capacity);
    if (PathExists(buffer) != 0) {
        buffer[root] = 0;
        AppendBounded(L"Program Files", buffer, capacity);
    }
}

}  // namespace

bool GetRememberedDestination(const char* productCode, wchar_t* buffer, int capacity) {
    buffer[0] = 0;
    wchar_t code[PRODUCT_CODE_CAPACITY];
    ProductCodeName(productCode, code);
    // A value that is no full path was not written by a setup of ours, or is
    // from before they made it one: it would install relative to wherever the
    // setup happens to run.
    if (code[0] && ReadStringValue(HKEY_CURRENT_USER, kRememberKey, code, buffer, capacity) && IsFullPathForm(buffer))
        return true;
    buffer[0] = 0;
    return false;
}

void GetProgramsDestination(const char* productName, wchar_t* buffer, int capacity) {
    buffer[0] = 0;
    ProgramsFolder(buffer, capacity);
    if (!buffer[0]) return;
    AppendSeparator(buffer, capacity);
    wchar_t name[PRODUCT_NAME_CAPACITY];
    ProductFileName(productName, name, PRODUCT_NAME_CAPACITY);
    AppendBounded(name, buffer, capacity);
}

void GetDefaultDestination(wchar_t* buffer, int capacity) {
    if (GetRememberedDestination(gInstallerState->productCode, buffer, capacity)) return;
    GetProgramsDestination(gInstallerState->productName, buffer, capacity);
}

void RememberDestination(const char* productCode, const wchar_t* destinationFolder) {
    wchar_t code[PRODUCT_CODE_CAPACITY];
    ProductCodeName(productCode, code);
    if (!code[0] || !destinationFolder[0]) return;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRememberKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD bytes = static_cast<DWORD>(WideLength(destinationFolder) + 1) * sizeof(wchar_t);
    RegSetValueExW(key, code, 0, REG_SZ, reinterpret_cast<const BYTE*>(destinationFolder), bytes);
    RegCloseKey(key);
}

void LanguageFilePath(const wchar_t* folder, const char* code, wchar_t* output, int capacity) {
    output[0] = 0;
    AppendBounded(folder, output, capacity);
    AppendSeparator(output, capacity);
    AppendBounded(gInstallerState->languageFileBase, output, capacity);
    AppendBounded(L"_", output, capacity);
    AppendNarrow(code, output, capacity);
    AppendBounded(L".LNG", output, capacity);
}
