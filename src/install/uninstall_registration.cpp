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
    wchar_t keyPath[512];
    ToWide("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", keyPath, 512);
    AppendBounded(product, keyPath, 512);
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    wchar_t url[256];
    ToWide(SETUP_URL_INFO_ABOUT, url, 256);
    SetText(key, L"DisplayName", product);
    SetText(key, L"UninstallString", uninstallerPath);
    SetText(key, L"DisplayIcon", mainProgramPath);
    SetText(key, L"Publisher", L"Norvalent");
    SetText(key, L"URLInfoAbout", url);
    RegCloseKey(key);
}
