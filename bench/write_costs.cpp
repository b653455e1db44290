// write_costs: what each installed file costs beyond its bytes, on the
// system it runs on (under Wine here): the same files written plainly, with
// their times set, under a temporary name moved into place, with the old
// file there to replace, and with the space reserved first.
//
// usage: write_costs FOLDER [FILES] [BYTES_EACH]
// Prints one line per way: the seconds for all files, and per file.
#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

double Now() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Way {
    const char* name;
    bool times;
    bool temporary;
    bool replace;
    bool reserve;
};

bool WriteOne(const std::wstring& path, const std::wstring& temporary, const std::vector<char>& data, const Way& way) {
    const std::wstring& target = way.temporary ? temporary : path;
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (way.reserve) {
        FILE_END_OF_FILE_INFO end = {};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(data.size());
        SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
    }
    for (size_t at = 0; at < data.size(); at += 65536) {
        DWORD n = static_cast<DWORD>(data.size() - at < 65536 ? data.size() - at : 65536), written = 0;
        if (!WriteFile(file, data.data() + at, n, &written, nullptr)) return false;
    }
    if (way.times) {
        FILETIME time = {0x12345678, 0x01D00000};
        SetFileTime(file, &time, &time, &time);
    }
    CloseHandle(file);
    if (way.temporary) return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    return true;
}

void Clear(const std::wstring& folder, int files) {
    for (int i = 0; i < files; ++i) DeleteFileW((folder + L"\\f" + std::to_wstring(i)).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: write_costs FOLDER [FILES] [BYTES_EACH]\n", stderr);
        return 2;
    }
    std::wstring folder = argv[1];
    int files = argc > 2 ? _wtoi(argv[2]) : 2000;
    size_t bytes = argc > 3 ? static_cast<size_t>(_wtoi(argv[3])) : 150000;
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<char> data(bytes, 'x');
    const Way ways[] = {
        {"plain", false, false, false, false},
        {"times", true, false, false, false},
        {"times+temporary+move", true, true, false, false},
        {"times+temporary+move over old", true, true, true, false},
        {"times+reserve+temporary+move", true, true, false, true},
        {"empty files: times", true, false, false, false},
        {"empty files: times+temporary+move", true, true, false, false},
    };
    for (int round = 0; round < 2; ++round)
        for (const Way& way : ways) {
            std::vector<char> content = way.name[0] == 'e' ? std::vector<char>() : data;
            Clear(folder, files);
            if (way.replace)
                for (int i = 0; i < files; ++i) WriteOne(folder + L"\\f" + std::to_wstring(i), L"", content, ways[0]);
            double start = Now();
            for (int i = 0; i < files; ++i)
                if (!WriteOne(folder + L"\\f" + std::to_wstring(i), folder + L"\\~t" + std::to_wstring(i), content,
                              way)) {
                    fprintf(stderr, "write_costs: %s failed at file %d (%lu)\n", way.name, i, GetLastError());
                    return 1;
                }
            double seconds = Now() - start;
            if (round == 1)
                printf("%-36s %7.3f s  %6.3f ms per file\n", way.name, seconds, seconds * 1000 / files);
        }
    Clear(folder, files);
    RemoveDirectoryW(folder.c_str());
    return 0;
}
