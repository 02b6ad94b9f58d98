// The port service on Windows on a real line: COM5, which Wine leads to a pseudo-terminal whose
// far end (tests/windows/with_echo_peer.sh) sends every byte straight back.

#include "link/exchange/controller_connection.h"
#include "link/ports/port_table.h"
#include "link/protocol/records.h"
#include "link/serial/comm_windows.h"
#include "link/serial/port_service_windows.h"
#include "tests/support/test_app.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using tuner::WinSerialPortService;

constexpr qint16 kPort = 5;
constexpr int kWaitMs = 30000; // bounds a hang: the machines running these are shared and busy

const QByteArray kRecord = "S,00100,00100,00100,00100,00000,00033,00000,00000,00000,\r";

// A second handle on COM5 beside the service's, to write to the line and to count and read what
// waits there. Windows proper refuses it while the service holds the port; Wine does not.
class SecondHandle {
public:
    SecondHandle()
        : m_handle(CreateFileW(L"\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr)) {
        if (m_handle != INVALID_HANDLE_VALUE) {
            COMMTIMEOUTS timeouts{};
            timeouts.ReadIntervalTimeout = MAXDWORD;
            SetCommTimeouts(m_handle, &timeouts);
        }
    }
    ~SecondHandle() {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    SecondHandle(const SecondHandle &) = delete;
    SecondHandle &operator=(const SecondHandle &) = delete;

    bool ok() const { return m_handle != INVALID_HANDLE_VALUE; }
    qint64 Waiting() const {
        COMSTAT status{};
        DWORD errors = 0;
        return ClearCommError(m_handle, &errors, &status) ? status.cbInQue : -1;
    }
    bool Write(const QByteArray &bytes) {
        DWORD written = 0;
        return WriteFile(m_handle, bytes.constData(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) &&
               written == static_cast<DWORD>(bytes.size());
    }

private:
    HANDLE m_handle;
};

class WinLine : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::App();
        QObject::connect(&service, &tuner::SerialPortService::OnComm, &service, [this] {
            EXPECT_EQ(service.CommEvent(), tuner::comEvReceive);
            deliveries.append(service.Input().toLatin1());
        });
        QObject::connect(&service, &tuner::SerialPortService::LineLost, &service,
                         [this] { ++lost; });
    }
    void TearDown() override {
        service.SetPortOpen(false);
        EXPECT_EQ(lost, 0) << service.LastError().toStdString();
    }

    bool Open() { return tuner::OpenControllerPort(service, kPort); }

    QByteArray Received() const { return deliveries.join(); }

    // Waits until at least n bytes came back.
    bool CameBack(qsizetype n) {
        return QTest::qWaitFor([&] { return Received().size() >= n; }, kWaitMs);
    }

    comfunct::PortTable ports; // port 5 is COM5
    WinSerialPortService service{ports};
    QList<QByteArray> deliveries;
    int lost = 0;
};

TEST_F(WinLine, OpensCom5WithTheControllersSettings) {
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    EXPECT_TRUE(service.PortOpen());
    EXPECT_EQ(service.LastError(), QString());
    EXPECT_EQ(ports.DevicePath(kPort), QStringLiteral("COM5"))
        << "the port opened is the table's own";
    EXPECT_TRUE(service.SetPortOpen(false));
    EXPECT_FALSE(service.PortOpen());
    EXPECT_EQ(service.LastError(), QString()) << "nothing queued, nothing dropped";
}

TEST_F(WinLine, EveryByteGoesOutAndComesBackExactly) {
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    ASSERT_TRUE(service.Output(QString::fromLatin1(bytes)));
    ASSERT_TRUE(CameBack(bytes.size())) << Received().size() << " of 256";
    EXPECT_EQ(Received(), bytes);
}

// One write of a record is one piece at every step of the echo, so it is due as soon as its CR
// is there: one delivery holding exactly the record.
TEST_F(WinLine, ARecordIsDeliveredWhole) {
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    ASSERT_TRUE(service.Output(QString::fromLatin1(kRecord)));
    ASSERT_TRUE(CameBack(kRecord.size()));
    EXPECT_EQ(deliveries.first(), kRecord);
}

TEST_F(WinLine, WritesQueuedBackToBackKeepTheirOrder) {
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    QByteArray sent;
    for (int i = 0; i < 20; ++i) {
        const QByteArray piece = QByteArray::number(i).rightJustified(3, '0') + ",";
        sent += piece;
        ASSERT_TRUE(service.Output(QString::fromLatin1(piece)));
    }
    sent += '\r';
    ASSERT_TRUE(service.Output(QStringLiteral("\r")));
    ASSERT_TRUE(CameBack(sent.size()));
    EXPECT_EQ(Received(), sent);
}

// More than one buffer's worth waits in the system: no delivery is longer than the buffer, and
// the rest of the burst follows.
TEST_F(WinLine, ABurstOverTheBufferComesInPiecesOfAtMostTheBuffer) {
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    QByteArray burst;
    for (int i = 0; burst.size() < 1500; ++i)
        burst += "P,00100,00100,00100,00100,00000,00033,00000,00000,0000" +
                 QByteArray::number(i % 10) + '\r';
    ASSERT_TRUE(service.Output(QString::fromLatin1(burst)));
    ASSERT_TRUE(CameBack(burst.size())) << Received().size() << " of " << burst.size();
    EXPECT_EQ(Received(), burst);
    EXPECT_GE(deliveries.size(), 2);
    for (const QByteArray &piece : std::as_const(deliveries))
        EXPECT_LE(piece.size(), WinSerialPortService::kInputBufferSize);
}

// Closing right after a write waits for the write: nothing is dropped on a line that takes it.
// (That the bytes reach the far end is checked there, by the dccd-ctl.exe test.)
TEST_F(WinLine, CloseRightAfterAWriteDropsNothing) {
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    ASSERT_TRUE(service.Output(QString::fromLatin1(kRecord)));
    EXPECT_TRUE(service.SetPortOpen(false));
    EXPECT_FALSE(service.PortOpen());
    EXPECT_EQ(service.LastError(), QString()) << "nothing was dropped";
    EXPECT_FALSE(service.OutputDropped());
}

// What came while the port was closed (an echo of what another program sent) is discarded at the
// open: the first delivery is the answer to what is sent after it.
TEST_F(WinLine, InputWaitingBeforeTheOpenIsDiscarded) {
    const QByteArray stale = "P,00001,00002,00003,00004,00005,00006,00000,00000,00000\r";
    {
        SecondHandle other;
        if (!other.ok())
            GTEST_SKIP() << "the system gives no second handle on COM5";
        ASSERT_TRUE(other.Write(stale));
        ASSERT_TRUE(QTest::qWaitFor([&] { return other.Waiting() >= stale.size(); }, kWaitMs))
            << "the stale text never waited in the line";
    }
    ASSERT_TRUE(Open()) << service.LastError().toStdString();
    ASSERT_TRUE(service.Output(QString::fromLatin1(kRecord)));
    ASSERT_TRUE(CameBack(kRecord.size()));
    EXPECT_EQ(deliveries.first(), kRecord);
    EXPECT_FALSE(Received().contains(stale));
}

// A port opened twice in a row by the same service, and two services one after the other.
TEST_F(WinLine, ReopensAfterAClose) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Open()) << round << ": " << service.LastError().toStdString();
        deliveries.clear();
        ASSERT_TRUE(service.Output(QString::fromLatin1(kRecord)));
        ASSERT_TRUE(CameBack(kRecord.size())) << round;
        EXPECT_EQ(Received(), kRecord) << round;
        ASSERT_TRUE(service.SetPortOpen(false));
    }
    WinSerialPortService other(ports);
    ASSERT_TRUE(tuner::OpenControllerPort(other, kPort)) << other.LastError().toStdString();
    EXPECT_TRUE(other.SetPortOpen(false));
}

} // namespace
