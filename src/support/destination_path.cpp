#include "support/destination_path.h"

#include "support/bounded_text.h"
#include "support/name_rule.h"

namespace {

bool IsSeparator(WideChar c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(WideChar c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Where the components that are file names begin: after "C:\" or after
// "\\server\" (the server and share count as names too).
int RootLength(const WideChar* path) {
    if (IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return 3;
    return 2;
}

}  // namespace

bool IsFullPathForm(const WideChar* path) {
    if (IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    if (!IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    WideChar third = path[2];
    if (third == 0 || IsSeparator(third)) return false;
    if ((third == '?' || third == '.') && IsSeparator(path[3])) return false;
    return true;
}

int32_t TrimDestination(WideChar* path) {
    int start = 0;
    while (path[start] == ' ') ++start;
    int length = WideLength(path + start);
    for (int i = 0; i <= length; ++i) path[i] = path[start + i];
    while (length > 0 && path[length - 1] == ' ') path[--length] = 0;
    return IsFullPathForm(path) ? 0 : ERROR_CODE_BAD_PATHNAME;
}

int32_t CleanDestinationComponents(WideChar* path, int capacity) {
    if (!IsFullPathForm(path)) return ERROR_CODE_BAD_PATHNAME;
    WideChar clean[PATH_CAPACITY];
    int root = RootLength(path);
    int out = 0;
    for (; out < root; ++out) clean[out] = IsSeparator(path[out]) ? '\\' : path[out];
    int at = root;
    int components = 0;
    while (path[at]) {
        int end = at;
        while (path[end] && !IsSeparator(path[end])) ++end;
        int length = end - at;
        while (length > 0 && (path[at + length - 1] == '.' || path[at + length - 1] == ' ')) --length;
        bool last = path[end] == 0 || (IsSeparator(path[end]) && path[end + 1] == 0);
        // An empty component is a doubled separator, or a trailing one.
        if (length == 0 && !(last && end == at)) return ERROR_CODE_BAD_PATHNAME;
        if (length > 0) {
            if (!IsSafeName(path + at, length)) return ERROR_CODE_BAD_PATHNAME;
            if (out > root) clean[out++] = '\\';
            if (out + length >= PATH_CAPACITY) return ERROR_CODE_BAD_PATHNAME;
            for (int i = 0; i < length; ++i) clean[out++] = path[at + i];
            ++components;
        }
        at = path[end] ? end + 1 : end;
    }
    clean[out] = 0;
    // "\\server" alone names no share, so no folder of one.
    if (root == 2 && components < 2) return ERROR_CODE_BAD_PATHNAME;
    if (out >= capacity) return ERROR_CODE_BAD_PATHNAME;
    CopyBounded(clean, path, capacity);
    return 0;
}
