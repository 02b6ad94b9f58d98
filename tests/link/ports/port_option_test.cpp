// The --port option as both programs read it.

#include "link/ports/port_option.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

namespace {

struct PortValue {
    const char *name;
    const char16_t *text;
    qint16 number; // 0: refused
    const char16_t *device;
};

void PrintTo(const PortValue &c, std::ostream *os) {
    *os << '"' << Printable(c.text) << '"';
}

// A number above 16 is a port on Windows (COM17 to COM255) and none on Linux; so is a name
// Windows gives a port ("COM5").
#ifdef Q_OS_WIN
constexpr qint16 WindowsOnly(qint16 n) {
    return n;
}
#else
constexpr qint16 WindowsOnly(qint16) {
    return 0;
}
#endif

class PortChoices : public ::testing::TestWithParam<PortValue> {};

TEST_P(PortChoices, AreReadAsBothProgramsReadThem) {
    const auto choice = tuner::ReadPortChoice(QString::fromUtf16(GetParam().text));
    if (GetParam().number == 0) {
        EXPECT_FALSE(choice.has_value());
        return;
    }
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->number, GetParam().number);
    EXPECT_EQ(choice->device, QString::fromUtf16(GetParam().device));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortChoices,
    ::testing::Values(PortValue{"Number", u"3", 3, u""}, PortValue{"Highest", u"16", 16, u""},
                      PortValue{"NumberAndDevice", u"2=/dev/pts/4", 2, u"/dev/pts/4"},
                      PortValue{"DeviceWithEquals", u"1=a=b", 1, u"a=b"},
                      PortValue{"Zero", u"0", 0, u""},
                      PortValue{"Seventeen", u"17", WindowsOnly(17), u""},
                      PortValue{"AdapterNumber", u"23=COM23", WindowsOnly(23), u"COM23"},
                      PortValue{"WindowsName", u"com23=COM23", WindowsOnly(23), u"COM23"},
                      PortValue{"WindowsLowName", u"COM5", WindowsOnly(5), u""},
                      PortValue{"NameWithZero", u"COM05", 0, u""},
                      PortValue{"NameAboveWindows", u"COM256", 0, u""},
                      PortValue{"HighestOfWindows", u"255", WindowsOnly(255), u""},
                      PortValue{"AboveWindows", u"256", 0, u""},
                      PortValue{"EmptyDevice", u"1=", 0, u""}, PortValue{"NoNumber", u"=x", 0, u""},
                      PortValue{"Empty", u"", 0, u""}, PortValue{"PlusSign", u"+1", 0, u""}),
    RowName());

} // namespace
