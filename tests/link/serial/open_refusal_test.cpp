// What the platform's port service refuses to open, and why: the same reasons, in the same
// words, on every system; and what a service that never opened keeps and refuses.

#include "link/exchange/port_messages.h"
#include "link/ports/port_table.h"
#include "link/protocol/records.h"
#include "link/serial/device_port_service.h"
#include "link/serial/serial_port_service.h"
#include "tests/support/platform_ports.h"
#include "tests/support/row_name.h"
#include "tests/support/test_app.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::App;

std::unique_ptr<tuner::DevicePortService> Service(const comfunct::PortTable &ports) {
    std::unique_ptr<tuner::SerialPortService> service = tuner::MakePortService(ports);
    return std::unique_ptr<tuner::DevicePortService>(
        static_cast<tuner::DevicePortService *>(service.release()));
}

struct OpenFailureCase {
    const char *name;
    qint16 port;
    const char16_t *device;   // nullptr: the table's own; $DIR is a folder holding "regular"
    const char16_t *settings; // nullptr: the controller's
    const char16_t *reasonStart;
};

void PrintTo(const OpenFailureCase &c, std::ostream *os) {
    *os << c.name;
}

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, FailsWithAReason) {
    App();
    const OpenFailureCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile regular(dir.filePath(QStringLiteral("regular")));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    comfunct::PortTable ports;
    if (c.device != nullptr)
        ports.SetDevicePath(c.port, QDir::toNativeSeparators(QString::fromUtf16(c.device).replace(
                                        QStringLiteral("$DIR"), dir.path())));
    const auto service = Service(ports);
    QSignalSpy lost(service.get(), &tuner::SerialPortService::LineLost);
    service->SetCommPort(c.port);
    service->SetSettings(c.settings != nullptr ? QString::fromUtf16(c.settings)
                                               : tuner::LineSettingsText(tuner::kLineSettings));

    EXPECT_FALSE(service->SetPortOpen(true));
    EXPECT_FALSE(service->PortOpen());
    const QString reason = service->LastError();
    EXPECT_TRUE(reason.startsWith(QString::fromUtf16(c.reasonStart))) << reason.toStdString();
    EXPECT_EQ(tuner::CannotOpenMessage(QStringLiteral("5 (x)"), reason),
              QStringLiteral("Cannot open port 5 (x): ") + reason + u'.');
    // Closing a port that never opened changes nothing and drops nothing.
    EXPECT_TRUE(service->SetPortOpen(false));
    EXPECT_EQ(service->LastError(), reason);
    EXPECT_FALSE(service->OutputDropped());
    EXPECT_EQ(lost.count(), 0);
}

const OpenFailureCase kOpenFailures[] = {
    {"BeyondTheTable", 17, nullptr, nullptr, PORT_17_REASON},
    {"PortZero", 0, nullptr, nullptr, u"ports are numbered 1 to "},
    {"LowestNumber", -32768, nullptr, nullptr, u"ports are numbered 1 to "},
    {"AboveWindows", 256, nullptr, nullptr, u"ports are numbered 1 to "},
    {"MissingDevice", 2, u"$DIR/missing", nullptr, u"no such port"},
    {"RegularFile", 2, u"$DIR/regular", nullptr, u"not a serial device"},
    {"Directory", 2, u"$DIR", nullptr, u"not a serial device"},
    {"BadParity", 2, u"$DIR/regular", u"57600,X,8,1", u"bad line settings"},
    {"NoSettings", 2, u"$DIR/regular", u"", u"bad line settings"},
    {"NineDataBits", 2, u"$DIR/regular", u"57600,N,9,1", u"bad line settings"},
    {"ZeroBaud", 2, u"$DIR/regular", u"0,N,8,1", u"bad line settings"},
#ifdef Q_OS_WIN
    {"UnregisteredPort", 5, u"COM200", nullptr, u"no such port"},
    {"DeviceNamespace", 5, u"\\\\.\\COM201", nullptr, u"no such port"},
    {"NullDevice", 5, u"NUL", nullptr, u"not a serial device"},
#else
    {"NullDevice", 2, u"/dev/null", nullptr, u"not a serial device"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Failures, OpenFailureTest, ::testing::ValuesIn(kOpenFailures), RowName());

// A service that never opened refuses output and keeps what it was given.
TEST(ClosedService, RefusesOutputAndKeepsItsProperties) {
    App();
    comfunct::PortTable ports;
    const auto service = Service(ports);
    EXPECT_FALSE(service->Output(QStringLiteral("R\r")));
    EXPECT_EQ(service->LastError(), QStringLiteral("the port is not open"));
    EXPECT_EQ(service->Input(), QString());
    EXPECT_EQ(service->CommEvent(), 0);
    service->SetCommPort(12);
    service->SetSettings(QStringLiteral("9600,E,7,2"));
    service->SetInputLen(16);
    service->SetRThreshold(3);
    EXPECT_EQ(service->CommPort(), 12);
    EXPECT_EQ(service->Settings(), QStringLiteral("9600,E,7,2"));
    EXPECT_EQ(service->InputLen(), 16);
    EXPECT_EQ(service->RThreshold(), 3);
    EXPECT_FALSE(service->PortOpen());
}

} // namespace
