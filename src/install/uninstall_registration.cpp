#include "install/uninstall_registration.h"

#include <windows.h>

#include "core/installer_state.h"
#include "support/bounded_text.h"

// SETUP_URL_INFO_ABOUT, the maker's web address, is a build setting
// (src/CMakeLists.txt).

namespace {

void SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD bytes = static_cast<DWORD>(WideLength(text) + 1) * sizeof(wchar_t);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

}  // namespace

void RegisterUninstall(const char* productName, const wchar_t* uninstallerPath, const wchar_t* mainProgramPath) {
    wchar_t product[PRODUCT_NAME_CAPACITY];
    ToWide(productName, product, PRODUCT_NAME_CAPACITY);
    if (!product[0]) return;
    // A backslash would make a key below another; only it changes, so that
    // the keys of earlier installs of the product are still found.
    wchar_t keyName[PRODUCT_NAME_CAPACITY];
    CopyBounded(product, keyName, PRODUCT_NAME_CAPACITY);
    for (wchar_t* c = keyName; *c; ++c)
        if (*c == '\\') *c = '_';
    wchar_t keyPath[512];
    ToWide("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", keyPath, 512);
    AppendBounded(keyName, keyPath, 512);
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    wchar_t url[256];
    ToWide(SETUP_URL_INFO_ABOUT, url, 256);
    SetText(key, L"DisplayName", product);
    // A command line: a path with a space is quoted, or the system would run
    // the program named by its first word.
    wchar_t command[1032];
    command[0] = 0;
    bool quoted = false;
    for (const wchar_t* c = uninstallerPath; *c; ++c) quoted = quoted || *c == ' ';
    if (quoted) AppendBounded(L"\"", command, 1032);
    AppendBounded(uninstallerPath, command, 1032);
    if (quoted) AppendBounded(L"\"", command, 1032);
    SetText(key, L"UninstallString", command);
    SetText(key, L"DisplayIcon", mainProgramPath);
    SetText(key, L"Publisher", L"Norvalent");
    SetText(key, L"URLInfoAbout", url);
    RegCloseKey(key);
}
