// The Win32 pieces of the serial port on Windows: names, line settings and reasons.

#include "link/ports/port_names_windows.h"
#include "link/serial/comm_windows.h"
#include "link/serial/line_settings.h"
#include "tests/support/test_app.h"

#include <gtest/gtest.h>

namespace {

namespace win = tuner::win;

TEST(WinComm, PortNamesAndTheirOpenPaths) {
    const struct {
        const char16_t *device;
        const char16_t *name;
        const char16_t *openPath;
    } cases[] = {
        {u"COM1", u"COM1", u"\\\\.\\COM1"},
        {u"COM5", u"COM5", u"\\\\.\\COM5"},
        {u"COM12", u"COM12", u"\\\\.\\COM12"}, // COM10 and above open only this way
        {u"com3", u"com3", u"\\\\.\\com3"},
        {u"\\\\.\\COM12", u"COM12", u"\\\\.\\COM12"},
        {u"CNCA0", u"CNCA0", u"\\\\.\\CNCA0"}, // a virtual port's own name
        {u"C:\\tune\\port.txt", u"C:\\tune\\port.txt", u"C:\\tune\\port.txt"},
        {u"", u"", u""},
    };
    for (const auto &c : cases) {
        const QString device = QString::fromUtf16(c.device);
        EXPECT_EQ(win::PortName(device), QString::fromUtf16(c.name)) << device.toStdString();
        EXPECT_EQ(win::OpenPath(device), QString::fromUtf16(c.openPath)) << device.toStdString();
    }
}

struct DcbCase {
    const char16_t *settings;
    DWORD baud;
    BYTE dataBits;
    BYTE parity;
    BOOL parityChecked;
    BYTE stopBits;
};

void PrintTo(const DcbCase &c, std::ostream *os) {
    *os << QString::fromUtf16(c.settings).toStdString();
}

class Dcb : public ::testing::TestWithParam<DcbCase> {};

// The framing goes into the DCB as it reads; flow control is off whatever the port had, and
// modem-control lines stay as they were unless a handshake drove them.
TEST_P(Dcb, CarriesTheLineSettings) {
    const DcbCase &c = GetParam();
    const auto parsed = tuner::ParseLineSettings(QString::fromUtf16(c.settings));
    ASSERT_TRUE(std::holds_alternative<tuner::LineSettings>(parsed));
    DCB dcb{};
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDsrSensitivity = TRUE;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fNull = TRUE;
    dcb.fAbortOnError = TRUE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    win::ApplyLineSettings(std::get<tuner::LineSettings>(parsed), dcb);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, c.baud);
    EXPECT_EQ(dcb.ByteSize, c.dataBits);
    EXPECT_EQ(dcb.Parity, c.parity);
    EXPECT_EQ(dcb.fParity, static_cast<DWORD>(c.parityChecked));
    EXPECT_EQ(dcb.StopBits, c.stopBits);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fOutX ||
                 dcb.fInX || dcb.fNull || dcb.fAbortOnError);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE)) << "left as it was";
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE)) << "no handshake";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Dcb,
    ::testing::Values(DcbCase{u"57600,N,8,1", 57600, 8, NOPARITY, FALSE, ONESTOPBIT},
                      DcbCase{u"9600,e,7,2", 9600, 7, EVENPARITY, TRUE, TWOSTOPBITS},
                      DcbCase{u"115200,O,8,1", 115200, 8, ODDPARITY, TRUE, ONESTOPBIT},
                      DcbCase{u"300,M,6,1", 300, 6, MARKPARITY, TRUE, ONESTOPBIT},
                      DcbCase{u"1200,S,8,2", 1200, 8, SPACEPARITY, TRUE, TWOSTOPBITS},
                      DcbCase{u"110,N,5,1.5", 110, 5, NOPARITY, FALSE, ONE5STOPBITS},
                      // The UART sends 1.5 stop bits for "two" with 5 data bits.
                      DcbCase{u"110,N,5,2", 110, 5, NOPARITY, FALSE, ONE5STOPBITS},
                      DcbCase{u"4000000,N,8,1", 4000000, 8, NOPARITY, FALSE, ONESTOPBIT}));

TEST(WinComm, HandshakeLinesAreSimplyOn) {
    DCB dcb{};
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    win::ApplyLineSettings(tuner::LineSettings{57600}, dcb);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    win::ApplyLineSettings(tuner::LineSettings{57600}, dcb);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
}

// The system's texts as the reasons carry them.
TEST(WinComm, SystemTextIsOneLowerCaseLineWithoutPeriod) {
    for (const DWORD error : {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY,
                              ERROR_GEN_FAILURE, ERROR_INVALID_PARAMETER}) {
        const QString text = win::SystemText(error);
        ASSERT_FALSE(text.isEmpty()) << error;
        EXPECT_EQ(text.at(0), text.at(0).toLower()) << text.toStdString();
        EXPECT_FALSE(text.endsWith(u'.')) << text.toStdString();
        EXPECT_FALSE(text.contains(u'\n') || text.contains(u'\r')) << text.toStdString();
        EXPECT_EQ(text, text.trimmed());
    }
    EXPECT_EQ(win::SystemText(0x2fffffff), QStringLiteral("system error 805306367"));
}

// %1 in an expected reason is the system's own text for the code.
struct ReasonCase {
    const char *name;
    QString (*reason)(DWORD);
    DWORD error;
    const char16_t *expected;
};

void PrintTo(const ReasonCase &c, std::ostream *os) {
    *os << c.name;
}

class Reason : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(Reason, SaysWhatHappenedInTheLinuxWords) {
    const ReasonCase &c = GetParam();
    QString expected = QString::fromUtf16(c.expected);
    if (expected.contains(QStringLiteral("%1")))
        expected = expected.arg(win::SystemText(c.error));
    EXPECT_EQ(c.reason(c.error), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Reason,
    ::testing::Values(
        ReasonCase{"OpenMissing", win::OpenFailure, ERROR_FILE_NOT_FOUND, u"no such port"},
        ReasonCase{"OpenBadPath", win::OpenFailure, ERROR_PATH_NOT_FOUND, u"no such port"},
        ReasonCase{"OpenBadName", win::OpenFailure, ERROR_INVALID_NAME, u"no such port"},
        ReasonCase{"OpenHeld", win::OpenFailure, ERROR_ACCESS_DENIED, u"in use by another program"},
        ReasonCase{"OpenShared", win::OpenFailure, ERROR_SHARING_VIOLATION,
                   u"in use by another program"},
        ReasonCase{"OpenSilent", win::OpenFailure, ERROR_SEM_TIMEOUT,
                   u"the device does not respond"},
        ReasonCase{"OpenFailed", win::OpenFailure, ERROR_GEN_FAILURE,
                   u"the device does not respond"},
        ReasonCase{"OpenOther", win::OpenFailure, ERROR_NOT_ENOUGH_MEMORY, u"%1"},
        ReasonCase{"ReadRemoved", win::ReadFailure, ERROR_DEVICE_REMOVED,
                   u"the device was removed"},
        ReasonCase{"ReadRefused", win::ReadFailure, ERROR_ACCESS_DENIED, u"the device was removed"},
        ReasonCase{"ReadBadCommand", win::ReadFailure, ERROR_BAD_COMMAND,
                   u"the device was removed"},
        ReasonCase{"ReadAborted", win::ReadFailure, ERROR_OPERATION_ABORTED,
                   u"the device was removed or stopped working"},
        ReasonCase{"ReadHungUp", win::ReadFailure, ERROR_BROKEN_PIPE,
                   u"the device was removed or stopped working"},
        ReasonCase{"ReadDeviceError", win::ReadFailure, ERROR_IO_DEVICE,
                   u"the device was removed or stopped working"},
        ReasonCase{"ReadOther", win::ReadFailure, ERROR_NOT_ENOUGH_MEMORY,
                   u"the device failed (%1)"},
        ReasonCase{"WriteRemoved", win::WriteFailure, ERROR_DEVICE_NOT_CONNECTED,
                   u"the device was removed"},
        ReasonCase{"WriteOther", win::WriteFailure, ERROR_IO_DEVICE, u"write failed (%1)"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
