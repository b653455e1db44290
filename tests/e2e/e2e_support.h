// What the end-to-end tests share: the UI language of the run and its
// texts, fixture packages made with the packer, and a fixture class.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <map>
#include <utility>
#include <vector>
#include <string>

#include "pack.h"
#include "setup_driver.h"

namespace fs = std::filesystem;

std::wstring Environment(const wchar_t* name);
// "US", "DE" or "IT", from the LC_ALL this run was started with.
std::string UiLanguage();

struct Texts {
    const wchar_t* title;
    const wchar_t* cancel;
    const wchar_t* destination;
    const wchar_t* group;
    const wchar_t* broken;
    const wchar_t* english;
    const wchar_t* german;
    const wchar_t* installed;
};
const Texts& Expected();

void WriteText(const fs::path& path, const std::string& text);
// The file-system path of a shell folder (a CSIDL).
std::wstring SpecialFolder(int csidl);
std::string ReadText(const fs::path& path);

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Packs files (relative name -> content) into a setup file.
    fs::path Pack(const std::map<std::string, std::string>& files, const std::string& productCode,
                  const std::string& mainProgram = "Tool.exe", const std::string& windowClass = "", int level = 1);
    // A setup file written entry by entry, as another writer than our packer
    // might, names and all: (name as stored, content) in archive order.
    fs::path WriteRawSetup(const std::vector<std::pair<std::string, std::string>>& entries,
                           const std::string& productCode, int32_t checksumOffset = 0);
    // The standard product: description, four languages, 32/64 folders.
    fs::path MakeProduct(const std::string& productCode, const std::string& windowClass = "");
    std::wstring ProgramFiles() { return Environment(L"ProgramFiles"); }
    void Screenshot(HWND window, const std::string& name);

    std::wstring stub_;
    fs::path work_;
};
