#include "link/ports/port_platform.h"
#include "link/ports/port_table.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#ifdef Q_OS_WIN
#include "link/ports/port_names_windows.h"
#endif

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>
#include <vector>

#ifndef Q_OS_WIN
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A device the port table takes for an existing serial port, or "" when this system has none to
// offer (a Windows without registered ports).
QString AnExistingDevice() {
#ifdef Q_OS_WIN
    return tuner::win::RegisteredPorts().value(0);
#else
    return QStringLiteral("/dev/null");
#endif
}

class Comfunct : public ::testing::Test {
protected:
    comfunct::PortTable ports;
};

struct ScanCase {
    const char *name;
    std::set<int> present;
    QStringList numbers;
    qint16 defaultPort;
};

void PrintTo(const ScanCase &c, std::ostream *os) {
    *os << "present";
    for (const int n : c.present)
        *os << " " << n;
}

class Scan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scan, ListsExistingNumbersAscendingWithTheLowestAsDefault) {
    const ScanCase &c = GetParam();
    QList<qint16> probed;
    const comfunct::PortScan scan = comfunct::ScanPorts([&](qint16 n) {
        probed.append(n);
        return c.present.count(n) > 0;
    });
    EXPECT_EQ(scan.numbers, c.numbers);
    EXPECT_EQ(scan.defaultPort, c.defaultPort);
    // Every number 1 to 16 is probed once, upwards, and nothing else.
    QList<qint16> expected;
    for (qint16 n = 1; n <= 16; ++n)
        expected.append(n);
    EXPECT_EQ(probed, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Scan,
    ::testing::Values(
        ScanCase{"ThreeAndFive", {3, 5}, {QStringLiteral("3"), QStringLiteral("5")}, 3},
        ScanCase{"None", {}, {}, 17}, ScanCase{"OnlyOutOfRange", {17, 18, 0, -1, 100}, {}, 17},
        ScanCase{"SixteenAndAbove", {16, 17}, {QStringLiteral("16")}, 16},
        ScanCase{"FirstAndLast", {1, 16}, {QStringLiteral("1"), QStringLiteral("16")}, 1},
        ScanCase{"NineTenTwelve",
                 {12, 9, 10},
                 {QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("12")},
                 9}),
    RowName());

// The port the user named is preselected whether or not it exists, and listed only if it does.
TEST(ScanChosen, TheChosenPortIsPreselectedExistingOrNot) {
    const auto present = [](qint16 n) { return n == 3 || n == 13; };
    const comfunct::PortScan missing = comfunct::ScanPorts(present, qint16{1});
    EXPECT_EQ(missing.numbers, (QStringList{QStringLiteral("3"), QStringLiteral("13")}));
    EXPECT_EQ(missing.defaultPort, 1);
    const comfunct::PortScan existing = comfunct::ScanPorts(present, qint16{13});
    EXPECT_EQ(existing.numbers, (QStringList{QStringLiteral("3"), QStringLiteral("13")}));
    EXPECT_EQ(existing.defaultPort, 13);
    EXPECT_EQ(comfunct::ScanPorts(present, std::nullopt).defaultPort, 3);
}

TEST(ScanAll, EveryPortPresentGivesSixteenNumbers) {
    const comfunct::PortScan scan = comfunct::ScanPorts([](qint16) { return true; });
    ASSERT_EQ(scan.numbers.size(), 16);
    EXPECT_EQ(scan.numbers.first(), QStringLiteral("1"));
    EXPECT_EQ(scan.numbers.last(), QStringLiteral("16"));
    EXPECT_EQ(scan.defaultPort, 1);
}

TEST_F(Comfunct, PortTableMapsNumbersToDevices) {
#ifdef Q_OS_WIN
    // Port n is COMn.
    const std::pair<qint16, const char16_t *> table[] = {
        {1, u"COM1"},   {2, u"COM2"},   {5, u"COM5"},   {9, u"COM9"},     {10, u"COM10"},
        {16, u"COM16"}, {17, u"COM17"}, {23, u"COM23"}, {255, u"COM255"}, {256, u""},
        {0, u""},       {-1, u""},      {32767, u""}};
#else
    const std::pair<qint16, const char16_t *> table[] = {{1, u"/dev/ttyUSB0"},
                                                         {8, u"/dev/ttyUSB7"},
                                                         {9, u"/dev/ttyACM0"},
                                                         {12, u"/dev/ttyACM3"},
                                                         {13, u"/dev/ttyS0"},
                                                         {16, u"/dev/ttyS3"},
                                                         {0, u""},
                                                         {17, u""},
                                                         {23, u""},
                                                         {255, u""},
                                                         {256, u""},
                                                         {-1, u""},
                                                         {32767, u""}};
#endif
    for (const auto &[n, device] : table)
        EXPECT_EQ(ports.DevicePath(n), QString::fromUtf16(device)) << "port " << n;
}

TEST_F(Comfunct, ReplacementLastsUntilReset) {
    using comfunct::platform::DefaultDevice;
    ports.SetDevicePath(3, QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(ports.DevicePath(3), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(ports.DevicePath(4), DefaultDevice(4));
    ports.SetDevicePath(3, QString());
    EXPECT_EQ(ports.DevicePath(3), DefaultDevice(3));
    ports.SetDevicePath(5, QStringLiteral("/dev/pts/8"));
    ports.ResetDevicePaths();
    EXPECT_EQ(ports.DevicePath(5), DefaultDevice(5));
}

// A port exists when its device is a serial device: on Windows when the system's registry of
// serial devices names it (in any case, with or without the device namespace), on Linux when it
// is a character device. Nothing else does, and nothing is opened to find out.
TEST_F(Comfunct, ExistsOnlyForSerialDevices) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile regular(dir.filePath(QStringLiteral("regular")));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    std::vector<std::pair<QString, bool>> cases = {
        {QString(), false},
        {QDir::toNativeSeparators(dir.filePath(QStringLiteral("missing"))), false},
        {QDir::toNativeSeparators(regular.fileName()), false},
        {QDir::toNativeSeparators(dir.path()), false}};
#ifdef Q_OS_WIN
    cases.insert(cases.end(), {{QStringLiteral("COM200"), false},
                               {QStringLiteral("\\\\.\\COM200"), false},
                               {QStringLiteral("NUL"), false}});
    for (const QString &name : tuner::win::RegisteredPorts()) {
        cases.emplace_back(name, true);
        cases.emplace_back(name.toLower(), true);
        cases.emplace_back(QStringLiteral("\\\\.\\") + name, true);
    }
#else
    ASSERT_TRUE(
        QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("by-id-link"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("missing")),
                            dir.filePath(QStringLiteral("dangling"))));
    cases.insert(cases.end(), {{dir.filePath(QStringLiteral("dangling")), false},
                               // a link to a character device
                               {dir.filePath(QStringLiteral("by-id-link")), true},
                               {QStringLiteral("/dev/null"), true}});
    // a pseudo-terminal, as the tests' lines are
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    cases.emplace_back(QString::fromLocal8Bit(::ptsname(master)), true);
#endif
    for (const auto &[device, exists] : cases) {
        ports.SetDevicePath(2, device);
        EXPECT_EQ(ports.ComPortExists(2), exists) << device.toStdString();
    }
    EXPECT_FALSE(ports.ComPortExists(0));
    EXPECT_FALSE(ports.ComPortExists(17));
}

TEST_F(Comfunct, EachTableKeepsItsOwnReplacements) {
    const QString existing = AnExistingDevice();
    if (existing.isEmpty())
        GTEST_SKIP() << "no serial port registered here";
    comfunct::PortTable other;
    ports.SetDevicePath(2, existing);
    EXPECT_EQ(other.DevicePath(2), comfunct::platform::DefaultDevice(2));
    EXPECT_TRUE(ports.Scan().numbers.contains(QStringLiteral("2")));
    // The chosen port is preselected whether or not it exists, and only listed when it does.
    const comfunct::PortScan chosen = ports.Scan(7);
    EXPECT_EQ(chosen.defaultPort, 7);
    EXPECT_EQ(chosen.numbers, ports.Scan().numbers);
}

// Ports 1 to 16, then the existing ones above (on Windows, those the system registers).
TEST_F(Comfunct, PortTableListsSixteenPortsAndTheExistingHigherOnes) {
    const QString existing = AnExistingDevice();
    if (existing.isEmpty())
        GTEST_SKIP() << "no serial port registered here";
    ports.SetDevicePath(4, existing);
    const QList<comfunct::PortInfo> table = ports.Describe();
    const QList<qint16> unlisted = ports.Scan().unlisted;
    ASSERT_EQ(table.size(), 16 + unlisted.size());
    for (qsizetype i = 0; i < unlisted.size(); ++i) {
        EXPECT_EQ(table.at(16 + i).number, unlisted.at(i));
        EXPECT_GT(unlisted.at(i), 16);
        EXPECT_TRUE(table.at(16 + i).exists);
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(table.at(i).number, i + 1);
        EXPECT_EQ(table.at(i).device, ports.DevicePath(static_cast<qint16>(i + 1)));
        EXPECT_EQ(table.at(i).exists, ports.ComPortExists(static_cast<qint16>(i + 1)));
    }
    EXPECT_TRUE(table.at(3).exists);
}

} // namespace

namespace {

// How the status line names a device: short names as they are, a by-id link by its maker and
// the end of its serial number, which tells two adapters of one make apart.
struct ShortNameCase {
    const char *name;
    const char16_t *device;
    const char16_t *shown;
};

void PrintTo(const ShortNameCase &c, std::ostream *os) {
    *os << Printable(c.device) << " shown as " << Printable(c.shown);
}

class ShortDevice : public ::testing::TestWithParam<ShortNameCase> {};

TEST_P(ShortDevice, NamesWhatTellsDevicesApart) {
    EXPECT_EQ(comfunct::ShortDeviceName(QString::fromUtf16(GetParam().device)).toStdString(),
              QString::fromUtf16(GetParam().shown).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShortDevice,
    ::testing::Values(
        ShortNameCase{"UsbAdapter", u"/dev/ttyUSB0", u"ttyUSB0"},
        ShortNameCase{"PseudoTerminal", u"/dev/pts/12", u"pts/12"},
        ShortNameCase{"FtdiById",
                      u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4E5-if00-port0",
                      u"FTDI\u2026C3D4E5"},
        ShortNameCase{"FtdiOtherSerial",
                      u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5XK3RJT-if00-port0",
                      u"FTDI\u2026XK3RJT"},
        ShortNameCase{"ArduinoById",
                      u"/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_"
                      u"75833353035351E0A1B2-if00",
                      u"Ardu\u2026E0A1B2"},
        ShortNameCase{"ByPath", u"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0",
                      u"\u20262:1.0-port0"}),
    RowName());

} // namespace
