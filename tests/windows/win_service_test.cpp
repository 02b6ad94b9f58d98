// The port service on Windows where no port is needed: what it refuses to open, and why.

#include "link/line_settings.h"
#include "link/port_messages.h"
#include "link/port_table.h"
#include "link/protocol.h"
#include "link/serial_device.h"
#include "link/win_serial_port_service.h"
#include "tests/windows/test_app.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using tuner::WinSerialPortService;

struct RefusalCase {
    const char *name;
    const char16_t *device;   // $DIR is a fresh folder holding the file "plain"; "" keeps COM5
    qint16 port;              // the port number opened, mapped to the device
    const char16_t *settings; // nullptr: the controller's
    const char16_t *reason;   // nullptr: the parser's reason for the settings
};

void PrintTo(const RefusalCase &c, std::ostream *os) {
    *os << c.name;
}

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, TheOpenFailsWithTheReason) {
    const RefusalCase &c = GetParam();
    testing_support::App();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    comfunct::PortTable ports;
    const QString device = QString::fromUtf16(c.device);
    if (!device.isEmpty())
        ports.SetDevicePath(c.port, QDir::toNativeSeparators(QString(device).replace(
                                        QStringLiteral("$DIR"), dir.path())));
    WinSerialPortService service(ports);
    QSignalSpy lost(&service, &tuner::SerialPortService::LineLost);
    service.SetCommPort(c.port);
    const QString settings =
        c.settings != nullptr ? QString::fromUtf16(c.settings) : tuner::kLineSettings;
    service.SetSettings(settings);
    service.SetRThreshold(tuner::kReceiveThreshold);

    EXPECT_FALSE(service.SetPortOpen(true));
    EXPECT_FALSE(service.PortOpen());
    const QString expected = c.reason != nullptr
                                 ? QString::fromUtf16(c.reason)
                                 : std::get<QString>(tuner::ParseLineSettings(settings));
    EXPECT_EQ(service.LastError(), expected);
    // The sentence the user reads is the Linux one.
    EXPECT_EQ(tuner::CannotOpenMessage(QStringLiteral("5 (COM5)"), service.LastError()),
              QStringLiteral("Cannot open port 5 (COM5): ") + expected + u'.');
    // Closing a port that never opened changes nothing and drops nothing.
    EXPECT_TRUE(service.SetPortOpen(false));
    EXPECT_EQ(service.LastError(), expected);
    EXPECT_FALSE(service.OutputDropped());
    EXPECT_EQ(lost.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refusal,
    ::testing::Values(RefusalCase{"UnregisteredPort", u"COM200", 5, nullptr, u"no such port"},
                      RefusalCase{"UnregisteredPortInTheDeviceNamespace", u"\\\\.\\COM201", 5,
                                  nullptr, u"no such port"},
                      RefusalCase{"NoDeviceForTheNumber", u"", 17, nullptr, u"no such port"},
                      RefusalCase{"MissingFile", u"$DIR/missing", 5, nullptr, u"no such port"},
                      RefusalCase{"PlainFile", u"$DIR/plain", 5, nullptr, u"not a serial device"},
                      RefusalCase{"Folder", u"$DIR", 5, nullptr, u"not a serial device"},
                      RefusalCase{"NullDevice", u"NUL", 5, nullptr, u"not a serial device"},
                      RefusalCase{"BadParity", u"COM200", 5, u"57600,X,8,1", nullptr},
                      RefusalCase{"BadShape", u"COM200", 5, u"57600", nullptr},
                      RefusalCase{"BadBaud", u"COM200", 5, u"0,N,8,1", nullptr}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WinService, OutputOnAClosedPortIsRefused) {
    testing_support::App();
    comfunct::PortTable ports;
    WinSerialPortService service(ports);
    EXPECT_FALSE(service.Output(QStringLiteral("R\r")));
    EXPECT_EQ(service.LastError(), QStringLiteral("the port is not open"));
    EXPECT_EQ(service.Input(), QString());
    EXPECT_EQ(service.CommEvent(), 0);
}

TEST(WinService, KeepsItsPropertiesWhileClosed) {
    testing_support::App();
    comfunct::PortTable ports;
    WinSerialPortService service(ports);
    service.SetCommPort(12);
    service.SetSettings(QStringLiteral("9600,E,7,2"));
    service.SetInputLen(16);
    service.SetRThreshold(3);
    EXPECT_EQ(service.CommPort(), 12);
    EXPECT_EQ(service.Settings(), QStringLiteral("9600,E,7,2"));
    EXPECT_EQ(service.InputLen(), 16);
    EXPECT_EQ(service.RThreshold(), 3);
    EXPECT_FALSE(service.PortOpen());
    EXPECT_EQ(service.Device(), QString());
}

} // namespace
