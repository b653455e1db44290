// The name rule shared by the packer, the installer's check and the extract
// filter, and the making of a safe name from a product's name.
#include <gtest/gtest.h>

#include "support/bounded_text.h"
#include "support/destination_path.h"
#include "support/name_rule.h"
#include "test_support.h"

namespace {

WideString W(const std::u16string& text) { return WideString(text.begin(), text.end()); }

NameProblem Check(const std::u16string& name) {
    WideString wide = W(name);
    return CheckName(wide.c_str(), static_cast<int>(wide.size()));
}

TEST(NameRule, RefusesWhatWindowsWouldNotMakeAPlainFileOf) {
    struct Case {
        std::u16string name;
        NameProblem problem;
    } cases[] = {
        {u"", NAME_EMPTY},
        {u".", NAME_DOTS},
        {u"..", NAME_DOTS},
        {u"a:b.txt", NAME_FORBIDDEN_CHARACTER},
        {u"q?.txt", NAME_FORBIDDEN_CHARACTER},
        {u"a<b", NAME_FORBIDDEN_CHARACTER},
        {u"a>b", NAME_FORBIDDEN_CHARACTER},
        {u"a\"b", NAME_FORBIDDEN_CHARACTER},
        {u"a|b", NAME_FORBIDDEN_CHARACTER},
        {u"a*b", NAME_FORBIDDEN_CHARACTER},
        {u"a\\b", NAME_FORBIDDEN_CHARACTER},
        {u"a/b", NAME_FORBIDDEN_CHARACTER},
        {u"tab\there", NAME_FORBIDDEN_CHARACTER},
        {u"x\x1F", NAME_FORBIDDEN_CHARACTER},
        {u"trail.", NAME_TRAILING_DOT_OR_SPACE},
        {u"sp ", NAME_TRAILING_DOT_OR_SPACE},
        {u"...", NAME_TRAILING_DOT_OR_SPACE},
        {u"CON", NAME_DEVICE},
        {u"con", NAME_DEVICE},
        {u"NUL.txt", NAME_DEVICE},
        {u"NUL .txt", NAME_DEVICE},
        {u"nul.tar.gz", NAME_DEVICE},
        {u"PRN", NAME_DEVICE},
        {u"AUX.log", NAME_DEVICE},
        {u"COM1", NAME_DEVICE},
        {u"com0.txt", NAME_DEVICE},
        {u"LPT9", NAME_DEVICE},
        {u"COM\u00B9", NAME_DEVICE},
        {u"LPT\u00B3.txt", NAME_DEVICE},
        {u"CONIN$", NAME_DEVICE},
        {u"conout$.x", NAME_DEVICE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(W(c.name).c_str()));
        EXPECT_EQ(Check(c.name), c.problem);
    }
}

TEST(NameRule, PassesGoodNames) {
    for (const char16_t* name :
         {u"\u00E4.txt", u"a b.txt", u".hidden", u"NUL_x.txt", u"CONFIG.SYS", u"COM10", u"LPT", u"COMA", u"CON_",
          u"xCON", u"a.b.c", u"\u20AC", u"CONSOLE.txt", u"AUX1", u"COM\u00B4"}) {
        SCOPED_TRACE(Utf8(W(name).c_str()));
        EXPECT_EQ(Check(name), NAME_OK);
    }
}

TEST(NameRule, MakesASafeNameOfAProductName) {
    struct Case {
        std::u16string text;
        int capacity;
        std::u16string made;
    } cases[] = {
        {u"TCP/IP Monitor", 32, u"TCP_IP Monitor"},
        {u"a:b<c>d\"e|f?g*h\\i", 32, u"a_b_c_d_e_f_g_h_i"},
        {u"Tool 2.0. ", 32, u"Tool 2.0"},
        {u"..", 32, u"_"},
        {u".", 32, u"_"},
        {u" . ", 32, u"_"},
        {u"CON", 32, u"CON_"},
        {u"nul.tool", 32, u"nul_.tool"},
        {u"CON", 4, u"CO_"},
        {u"", 32, u""},
        {u"Norvalent Tool", 32, u"Norvalent Tool"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(W(c.text).c_str()));
        WideString buffer = W(c.text);
        buffer.resize(static_cast<size_t>(c.capacity), 0);
        MakeSafeName(&buffer[0], c.capacity);
        EXPECT_EQ(Utf8(buffer.c_str()), Utf8(W(c.made).c_str()));
        if (!c.made.empty()) {
            EXPECT_TRUE(IsSafeName(buffer.c_str(), WideLength(buffer.c_str())));
        }
    }
}

}  // namespace

namespace {

struct Destination {
    int32_t trim;
    int32_t clean;
    std::string path;  // after both, UTF-8
};

Destination Make(const std::u16string& typed) {
    WideString buffer = W(typed);
    buffer.resize(1024, 0);
    Destination result;
    result.trim = TrimDestination(&buffer[0]);
    result.clean = result.trim ? result.trim : CleanDestinationComponents(&buffer[0], 1024);
    result.path = Utf8(buffer.c_str());
    return result;
}

TEST(DestinationPath, OnlyFullPathsWithGoodNamesAreInstalledInto) {
    struct Case {
        std::u16string typed;
        int32_t result;
        const char* path;  // when 0
    } cases[] = {
        {u"C:\\Tools", 0, "C:\\Tools"},
        {u"  C:\\Program Files\\Tool  ", 0, "C:\\Program Files\\Tool"},
        {u"C:\\Foo ", 0, "C:\\Foo"},
        {u"C:\\Foo.\\Bar. .", 0, "C:\\Foo\\Bar"},
        {u"c:/Tools/Sub/", 0, "c:\\Tools\\Sub"},
        {u"D:\\", 0, "D:\\"},
        {u"\\\\server\\share\\Tool", 0, "\\\\server\\share\\Tool"},
        {u"Tools", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"D:Tools", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"\\Tools", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"\\\\?\\C:\\Tools", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"\\\\.\\COM1", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"\\\\server", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"C:\\Tools\\CON", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"C:\\a:b", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"C:\\Tools\\q?", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"C:\\Tools\\\\x", ERROR_CODE_BAD_PATHNAME, nullptr},
        {u"C:\\Tools\\...\\x", ERROR_CODE_BAD_PATHNAME, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(W(c.typed).c_str()));
        Destination made = Make(c.typed);
        EXPECT_EQ(made.clean, c.result);
        if (c.result == 0) {
            EXPECT_EQ(made.path, c.path);
        }
    }
}

}  // namespace
