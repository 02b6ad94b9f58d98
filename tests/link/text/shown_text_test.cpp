// How outside text is shown, from the bytes of an argument as a POSIX system passes them.

#include "link/text/program_arguments.h"
#include "link/text/shown_text.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

namespace {

struct Shown {
    const char *name;
    const char *argument; // the bytes as given
    const char16_t *shown;
};

void PrintTo(const Shown &c, std::ostream *os) {
    *os << c.name;
}

class ShownText : public ::testing::TestWithParam<Shown> {};

TEST_P(ShownText, EscapesWhatATerminalWouldActOn) {
#ifdef Q_OS_WIN
    if (QByteArray(GetParam().argument).contains('\xff'))
        GTEST_SKIP() << "Windows arguments are UTF-16: no byte is stray";
    const QString argument = QString::fromUtf8(GetParam().argument);
#else
    char *argv[] = {const_cast<char *>(GetParam().argument)};
    const QString argument = tuner::ProgramArguments(1, argv).value(0);
#endif
    EXPECT_EQ(tuner::EscapedText(argument), QString::fromUtf16(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, ShownText,
                         ::testing::Values(Shown{"Plain", "caf\xc3\xa9 t.json",
                                                 u"caf\u00e9 t.json"},
                                           Shown{"Escape", "\x1b[31mRED\x1b]0;title\x07",
                                                 u"\\e[31mRED\\e]0;title\\u0007"},
                                           Shown{"Bell", "a\x07", u"a\\u0007"},
                                           Shown{"StrayByte", "new\xff.json", u"new\\xff.json"},
                                           Shown{"FormatCharacter", "a\u202eb", u"a\\u202eb"}),
                         RowName());

} // namespace
