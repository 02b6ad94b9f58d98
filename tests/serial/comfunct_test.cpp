#include "link/comfunct.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

class Comfunct : public ::testing::Test {
protected:
    void TearDown() override { comfunct::ResetDevicePaths(); }
};

struct ScanCase {
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
    ::testing::Values(ScanCase{{3, 5}, {QStringLiteral("3"), QStringLiteral("5")}, 3},
                      ScanCase{{}, {}, 17}, ScanCase{{17, 18, 0, -1, 100}, {}, 17},
                      ScanCase{{16, 17}, {QStringLiteral("16")}, 16},
                      ScanCase{{1, 16}, {QStringLiteral("1"), QStringLiteral("16")}, 1},
                      ScanCase{{12, 9, 10}, {u"9"_qs, u"10"_qs, u"12"_qs}, 9}));

// The port the user named is preselected whether or not it exists, and listed only if it does.
TEST(ScanChosen, TheChosenPortIsPreselectedExistingOrNot) {
    const auto present = [](qint16 n) { return n == 3 || n == 13; };
    const comfunct::PortScan missing = comfunct::ScanPorts(present, qint16{1});
    EXPECT_EQ(missing.numbers, (QStringList{u"3"_qs, u"13"_qs}));
    EXPECT_EQ(missing.defaultPort, 1);
    const comfunct::PortScan existing = comfunct::ScanPorts(present, qint16{13});
    EXPECT_EQ(existing.numbers, (QStringList{u"3"_qs, u"13"_qs}));
    EXPECT_EQ(existing.defaultPort, 13);
    EXPECT_EQ(comfunct::ScanPorts(present, std::nullopt).defaultPort, 3);
}

TEST(ScanAll, EveryPortPresentGivesSixteenNumbers) {
    const comfunct::PortScan scan = comfunct::ScanPorts([](qint16) { return true; });
    ASSERT_EQ(scan.numbers.size(), 16);
    EXPECT_EQ(scan.numbers.first(), u"1"_qs);
    EXPECT_EQ(scan.numbers.last(), u"16"_qs);
    EXPECT_EQ(scan.defaultPort, 1);
}

TEST_F(Comfunct, PortTableMapsNumbersToDevices) {
    const std::pair<qint16, const char16_t *> table[] = {{1, u"/dev/ttyUSB0"},
                                                         {8, u"/dev/ttyUSB7"},
                                                         {9, u"/dev/ttyACM0"},
                                                         {12, u"/dev/ttyACM3"},
                                                         {13, u"/dev/ttyS0"},
                                                         {16, u"/dev/ttyS3"},
                                                         {0, u""},
                                                         {17, u""},
                                                         {-1, u""},
                                                         {32767, u""}};
    for (const auto &[n, device] : table)
        EXPECT_EQ(comfunct::DevicePath(n), QString::fromUtf16(device)) << "port " << n;
}

TEST_F(Comfunct, ReplacementLastsUntilReset) {
    comfunct::SetDevicePath(3, u"/dev/pts/7"_qs);
    EXPECT_EQ(comfunct::DevicePath(3), u"/dev/pts/7"_qs);
    EXPECT_EQ(comfunct::DevicePath(4), u"/dev/ttyUSB3"_qs);
    comfunct::SetDevicePath(3, QString());
    EXPECT_EQ(comfunct::DevicePath(3), u"/dev/ttyUSB2"_qs);
    comfunct::SetDevicePath(5, u"/dev/pts/8"_qs);
    comfunct::ResetDevicePaths();
    EXPECT_EQ(comfunct::DevicePath(5), u"/dev/ttyUSB4"_qs);
}

TEST_F(Comfunct, ExistsOnlyForCharacterDevices) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile regular(dir.filePath(u"regular"_qs));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    ASSERT_TRUE(QFile::link(u"/dev/null"_qs, dir.filePath(u"by-id-link"_qs)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"missing"_qs), dir.filePath(u"dangling"_qs)));

    const std::pair<QString, bool> cases[] = {
        {dir.filePath(u"missing"_qs), false},
        {dir.filePath(u"regular"_qs), false},
        {dir.path(), false},
        {dir.filePath(u"dangling"_qs), false},
        {dir.filePath(u"by-id-link"_qs), true}, // a link to a character device
        {u"/dev/null"_qs, true}};
    for (const auto &[device, exists] : cases) {
        comfunct::SetDevicePath(2, device);
        EXPECT_EQ(comfunct::ComPortExists(2), exists) << device.toStdString();
    }
    EXPECT_FALSE(comfunct::ComPortExists(0));
    EXPECT_FALSE(comfunct::ComPortExists(17));
}

TEST_F(Comfunct, PortTableListsSixteenPortsWithTheirDevices) {
    comfunct::SetDevicePath(4, u"/dev/null"_qs);
    const QList<comfunct::PortInfo> table = comfunct::PortTable();
    ASSERT_EQ(table.size(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(table.at(i).number, i + 1);
        EXPECT_EQ(table.at(i).device, comfunct::DevicePath(static_cast<qint16>(i + 1)));
        EXPECT_EQ(table.at(i).exists, comfunct::ComPortExists(static_cast<qint16>(i + 1)));
    }
    EXPECT_TRUE(table.at(3).exists);
}

} // namespace
