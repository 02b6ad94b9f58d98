// The real port service against pseudo-terminals.

#include "link/ports/port_table.h"
#include "link/protocol/records.h"
#include "link/serial/port_service_linux.h"
#include "tests/link/serial/pty_support.h"
#include "tests/support/row_name.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <grp.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>

using testing_support::App;
using testing_support::Pty;
using tuner::QtSerialPortService;

namespace {

constexpr int kWaitMs = 30000; // bounds a hang: the machines running these are shared and busy

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(pty.ok());
        ports.SetDevicePath(1, pty.path());
        service.SetCommPort(1);
        service.SetSettings(tuner::LineSettingsText(tuner::kLineSettings));
        service.SetInputLen(0);
        service.SetRThreshold(tuner::kReceiveThreshold);
    }
    void TearDown() override { service.SetPortOpen(false); }

    // Collects every receive event's Input.
    void TakeEachEvent() {
        QObject::connect(&service, &tuner::SerialPortService::OnComm, &service, [this] {
            EXPECT_EQ(service.CommEvent(), tuner::comEvReceive);
            inputs.append(service.Input().toLatin1());
        });
    }

    qsizetype Taken() const {
        qsizetype total = 0;
        for (const QByteArray &part : inputs)
            total += part.size();
        return total;
    }

    Pty pty;
    comfunct::PortTable ports;
    QtSerialPortService service{ports};
    QList<QByteArray> inputs;
};

QByteArray EveryByte() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    return bytes;
}

TEST_F(ServiceTest, OpenedPortWritesEveryByteExactly) {
    ASSERT_TRUE(service.SetPortOpen(true)) << service.LastError().toStdString();
    EXPECT_TRUE(service.PortOpen());
    const QByteArray bytes = EveryByte();
    ASSERT_TRUE(service.Output(QString::fromLatin1(bytes)));
    EXPECT_EQ(pty.Read(bytes.size()), bytes);

    const auto save =
        tuner::SaveCommand({QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("100"),
                            QStringLiteral("100"), QStringLiteral("0"), QStringLiteral("33")},
                           false, false, false);
    ASSERT_TRUE(save.has_value());
    ASSERT_TRUE(service.Output(*save));
    EXPECT_EQ(pty.Read(tuner::kSaveCommandLength),
              QByteArray("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,\r"));
}

// A pseudo-terminal keeps 8 data bits and no parity whatever it is told, so the line shows
// the speed and the stop bits only.
struct SettingsCase {
    const char *name;
    const char16_t *settings;
    speed_t speed;
    bool twoStopBits;
};

void PrintTo(const SettingsCase &c, std::ostream *os) {
    *os << QString::fromUtf16(c.settings).toStdString();
}

class SettingsTest : public ServiceTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsTest, LineTakesTheSettings) {
    const SettingsCase &c = GetParam();
    service.SetSettings(QString::fromUtf16(c.settings));
    ASSERT_TRUE(service.SetPortOpen(true)) << service.LastError().toStdString();
    termios line{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), c.speed);
    EXPECT_EQ(cfgetispeed(&line), c.speed);
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, c.twoStopBits);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u) << "no flow control";
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u) << "no flow control";
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u) << "raw";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsTest,
    ::testing::Values(SettingsCase{"ControllerLine", u"57600,N,8,1", B57600, false},
                      SettingsCase{"EvenParityTwoStops", u"9600,E,7,2", B9600, true},
                      SettingsCase{"OddParity", u"19200,O,8,1", B19200, false},
                      SettingsCase{"FastSixBits", u"115200,n,6,1", B115200, false},
                      SettingsCase{"OneAndAHalfStops", u"1200,N,5,1.5", B1200, true}),
    RowName());

TEST_F(ServiceTest, NoEventBelowTheThresholdAndOneWhenReached) {
    TakeEachEvent();
    ASSERT_TRUE(service.SetPortOpen(true));
    const QByteArray first(tuner::kReceiveThreshold - 1, 'a');
    ASSERT_TRUE(pty.Write(first));
    QTest::qWait(300);
    EXPECT_TRUE(inputs.isEmpty()) << "48 characters must not raise the event";

    ASSERT_TRUE(pty.Write("b"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !inputs.isEmpty(); }, kWaitMs));
    QTest::qWait(300);
    ASSERT_EQ(inputs.size(), 1);
    EXPECT_EQ(inputs.at(0), first + "b");
}

// Writes pieces of a text to the line from a thread of its own, the first at once and each next
// one gap later, paced by deadlines at real-time priority where allowed. A machine busy with
// builds may still stretch a gap towards the quiet interval, which ends a record without its
// end; such a run proves nothing, and KeptPace says so.
class PacedWriter {
public:
    PacedWriter(const Pty &pty, const QByteArray &text, qsizetype first, qsizetype piece,
                std::chrono::milliseconds gap)
        : m_thread([=, this, &pty] { Run(pty, text, first, piece, gap); }) {}
    ~PacedWriter() { Join(); }
    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;

    bool KeptPace() {
        Join();
        return m_longestGap < QtSerialPortService::kSettleInterval * 4 / 5;
    }

private:
    void Run(const Pty &pty, const QByteArray &text, qsizetype first, qsizetype piece,
             std::chrono::milliseconds gap) {
        sched_param priority{};
        priority.sched_priority = 1;
        ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority);
        const auto start = std::chrono::steady_clock::now();
        auto last = start;
        pty.Write(text.left(first));
        for (qsizetype at = first, n = 1; at < text.size(); at += piece, ++n) {
            std::this_thread::sleep_until(start + gap * n);
            const auto now = std::chrono::steady_clock::now();
            m_longestGap = std::max(m_longestGap, now - last);
            last = now;
            pty.Write(text.mid(at, piece));
        }
    }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

    std::chrono::steady_clock::duration m_longestGap{};
    std::thread m_thread;
};

TEST_F(ServiceTest, ReportArrivingInPiecesAcrossTheThresholdIsTakenWhole) {
    TakeEachEvent();
    const QByteArray report = "P,00120,00090,00100,00080,00010,00040,00001,00000,00001\r";
    for (int attempt = 0; attempt < 5; ++attempt) {
        // Each attempt on a line opened afresh, which drops what an earlier one left.
        service.SetPortOpen(false);
        ASSERT_TRUE(service.SetPortOpen(true));
        inputs.clear();
        // 45 characters, then pieces of 2 a few milliseconds apart: each is well inside the
        // quiet interval, but together they run on past it, so the interval must start again
        // with each.
        PacedWriter writer(pty, report, 45, 2, std::chrono::milliseconds(4));
        const bool arrived = QTest::qWaitFor([&] { return !inputs.isEmpty(); }, kWaitMs);
        if (!writer.KeptPace())
            continue;
        ASSERT_TRUE(arrived);
        EXPECT_EQ(inputs.at(0), report);
        QTest::qWait(100);
        EXPECT_EQ(inputs.size(), 1);
        return;
    }
    GTEST_SKIP() << "the writer never kept its pace: the machine is too busy";
}

TEST_F(ServiceTest, ContinuousStreamRaisesTheEventWhenTheBufferIsFull) {
    TakeEachEvent();
    ASSERT_TRUE(service.SetPortOpen(true));
    // A machine busy with builds may stall the writer beyond the quiet interval now and then;
    // such a run proves nothing, and the stream is sent again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        inputs.clear();
        std::atomic<bool> stop = false;
        std::chrono::steady_clock::duration longestGap{};
        std::thread writer([&] {
            auto last = std::chrono::steady_clock::now();
            for (int i = 0; i < 400 && !stop; ++i) { // 8 bytes every 2 ms: never quiet
                pty.Write("xxxxxxxx");
                const auto now = std::chrono::steady_clock::now();
                longestGap = std::max(longestGap, now - last);
                last = now;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        // The quiet interval never passes while bytes keep coming; a full input buffer is taken.
        const bool during = QTest::qWaitFor([&] { return !inputs.isEmpty(); }, kWaitMs);
        stop = true;
        writer.join();
        ASSERT_TRUE(during);
        if (longestGap >= QtSerialPortService::kSettleInterval * 3 / 4) {
            QTest::qWait(300); // what is left of this run is taken before the next one
            continue;
        }
        EXPECT_EQ(inputs.at(0).size(), QtSerialPortService::kInputBufferSize);
        return;
    }
    GTEST_SKIP() << "the writer never kept its pace: the machine is too busy";
}

// A report that trickles in, as from a slow adapter or a busy controller: whatever its pace
// while it keeps coming, it is taken whole, with or without the record's end.
struct TrickleCase {
    const char *name;
    QByteArray report;
    qsizetype piece;
    int gapMs;
};

void PrintTo(const TrickleCase &c, std::ostream *os) {
    *os << c.report.size() << " bytes in pieces of " << c.piece << " every " << c.gapMs << " ms";
}

class TrickleTest : public ServiceTest, public ::testing::WithParamInterface<TrickleCase> {};

TEST_P(TrickleTest, ReportIsTakenWhole) {
    const TrickleCase &c = GetParam();
    TakeEachEvent();
    for (int attempt = 0; attempt < 5; ++attempt) {
        service.SetPortOpen(false); // a line opened afresh drops what an earlier attempt left
        ASSERT_TRUE(service.SetPortOpen(true));
        inputs.clear();
        PacedWriter writer(pty, c.report, c.piece, c.piece, std::chrono::milliseconds(c.gapMs));
        // A real event loop: QTest's waits sleep in steps of 10 ms, late enough to hide a cut.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!inputs.isEmpty())
                loop.quit();
        });
        poll.start(1);
        QTimer::singleShot(4 * kWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (!writer.KeptPace())
            continue;
        ASSERT_FALSE(inputs.isEmpty());
        QTest::qWait(100);
        ASSERT_EQ(inputs.size(), 1);
        EXPECT_EQ(inputs.at(0), c.report);
        return;
    }
    GTEST_SKIP() << "the writer never kept its pace: the machine is too busy";
}

// 62 characters: 13 of them come after the threshold, over more than 100 ms at these paces.
const QByteArray kCalibratingReport =
    "P-REPORT,00120,00090,00100,00080,00010,00040,00001,00000,00001";
// In pieces of two, CR and LF arrive together (74 characters: the last piece is the CR LF); a
// longer tag keeps the pieces after the threshold coming for more than 100 ms.
const QByteArray kLongTagReport = "P-REPORT-LONG-TAGS" + kCalibratingReport.mid(8) + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Paces, TrickleTest,
    ::testing::Values(TrickleCase{"ByteEvery10msWithCR", kCalibratingReport + '\r', 1, 10},
                      TrickleCase{"ByteEvery10msWithoutCR", kCalibratingReport, 1, 10},
                      TrickleCase{"TwoBytesEvery10msWithCRLF", kLongTagReport, 2, 10},
                      // A busy controller: 52 bytes, a pause of 30 ms, the rest.
                      TrickleCase{"PauseOf30msAfter52Bytes", kCalibratingReport + '\r', 52, 30}),
    RowName());

TEST_F(ServiceTest, InputWaitingBeforeTheOpenIsDiscarded) {
    TakeEachEvent();
    // A late answer from an earlier connection and a controller's chatter, both on the line
    // before the port opens.
    const QByteArray before = "P,00001,00002,00003,00004,00005,00006,00000,00000,00000\rxx,yy\r";
    ASSERT_TRUE(pty.Write(before));
    // Really waiting on the line, however late the system moves the bytes there.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            int waiting = 0;
            return ::ioctl(pty.slave(), FIONREAD, &waiting) == 0 && waiting >= before.size();
        },
        kWaitMs));
    ASSERT_TRUE(service.SetPortOpen(true));
    QTest::qWait(100);
    EXPECT_TRUE(inputs.isEmpty()) << "taken: " << inputs.join("|").toStdString();
    const QByteArray answer = "P,00120,00090,00100,00080,00010,00040,00001,00000,00001\r";
    ASSERT_TRUE(pty.Write(answer));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !inputs.isEmpty(); }, kWaitMs));
    EXPECT_EQ(inputs.join(), answer);
}

TEST_F(ServiceTest, OutputTheLineDoesNotTakeIsDroppedAtCloseAndSaidSo) {
    ASSERT_TRUE(service.SetPortOpen(true));
    ASSERT_EQ(::tcflow(pty.slave(), TCOOFF), 0); // the line stops taking bytes
    ASSERT_TRUE(service.Output(
        QStringLiteral("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,\r")));
    ASSERT_TRUE(service.SetPortOpen(false));
    EXPECT_EQ(service.LastError(), QStringLiteral("queued output was dropped"));
    // The next connection starts clean and a close that drops nothing says nothing.
    ASSERT_EQ(::tcflow(pty.slave(), TCOON), 0);
    ASSERT_TRUE(service.SetPortOpen(true));
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    ASSERT_TRUE(service.SetPortOpen(false));
    EXPECT_TRUE(service.LastError().isEmpty()) << service.LastError().toStdString();
}

TEST_F(ServiceTest, FourKilobytesAtOnceAreTakenCompletelyAndInOrder) {
    TakeEachEvent();
    ASSERT_TRUE(service.SetPortOpen(true));
    QByteArray sent;
    for (int i = 0; i < 4096; ++i)
        sent.append(static_cast<char>((i * 7 + i / 256) % 256));
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Taken() >= sent.size(); }, kWaitMs))
        << "taken " << Taken();
    EXPECT_EQ(inputs.join(), sent);
    EXPECT_GE(inputs.size(), 4);
    for (const QByteArray &part : inputs)
        EXPECT_LE(part.size(), QtSerialPortService::kInputBufferSize);
}

// A burst longer than the input limit: its rest, under the threshold, still comes (at once when
// it ends a record, else once the line is quiet), so a report straddling the limit is not lost.
// Nothing before the limit ends a record, so the first take is cut at the limit whatever pieces
// the system hands over.
TEST_F(ServiceTest, TheRestOfABurstCutAtTheLimitComesBelowTheThreshold) {
    TakeEachEvent();
    ASSERT_TRUE(service.SetPortOpen(true));
    for (const QByteArray &rest : {QByteArray("P,1,2,3,4,5,6,0,0,0\r"), QByteArray("0,0,0")}) {
        inputs.clear();
        const QByteArray sent = QByteArray(QtSerialPortService::kInputBufferSize, 'x') + rest;
        ASSERT_TRUE(pty.Write(sent));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Taken() >= sent.size(); }, kWaitMs))
            << "taken " << Taken();
        EXPECT_EQ(inputs,
                  (QList<QByteArray>{sent.left(QtSerialPortService::kInputBufferSize), rest}));
    }
}

TEST_F(ServiceTest, EventComesAgainWhileTheThresholdIsStillMet) {
    service.SetInputLen(10);
    TakeEachEvent();
    ASSERT_TRUE(service.SetPortOpen(true));
    const QByteArray sent = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWX";
    ASSERT_EQ(sent.size(), 60);
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(QTest::qWaitFor([&] { return inputs.size() >= 2; }, kWaitMs));
    QTest::qWait(300);
    // 60 waiting: an event; 50 left: another; 40 left is below the threshold: no third.
    ASSERT_EQ(inputs.size(), 2);
    EXPECT_EQ(inputs.at(0), sent.left(10));
    EXPECT_EQ(inputs.at(1), sent.mid(10, 10));
}

TEST_F(ServiceTest, PulledLineIsReportedOnceAndThePortCanBeOpenedAgain) {
    QSignalSpy lost(&service, &tuner::SerialPortService::LineLost);
    ASSERT_TRUE(service.SetPortOpen(true));
    pty.CloseMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() > 0; }, kWaitMs));
    EXPECT_FALSE(service.PortOpen());
    EXPECT_FALSE(service.LastError().isEmpty());
    QTest::qWait(200);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(service.Output(QStringLiteral("R\r")));

    Pty second;
    ASSERT_TRUE(second.ok());
    ports.SetDevicePath(1, second.path());
    ASSERT_TRUE(service.SetPortOpen(true)) << service.LastError().toStdString();
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    EXPECT_EQ(second.Read(2), QByteArray("R\r"));
}

TEST_F(ServiceTest, PortHeldByAnotherProgramIsInUse) {
    QProcess holder;
    holder.start(QStringLiteral(PORT_HOLDER), {pty.path()});
    ASSERT_TRUE(holder.waitForStarted(kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return holder.canReadLine(); }, kWaitMs));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("open"));

    EXPECT_FALSE(service.SetPortOpen(true));
    EXPECT_FALSE(service.PortOpen());
    EXPECT_EQ(service.LastError(), QStringLiteral("in use by another program"));

    holder.closeWriteChannel(); // the holder closes its port and ends
    ASSERT_TRUE(holder.waitForFinished(kWaitMs));
    EXPECT_TRUE(service.SetPortOpen(true)) << service.LastError().toStdString();
}

// A user without access is told the group that may use the device, whatever it is called
// here, and that no group helps when only root may use it.
TEST_F(ServiceTest, PermissionFailureNamesTheGroupToJoin) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the other program as a user without access";
    // The build tree may sit in a folder only its owner may enter (a home folder, mktemp -d):
    // the other user runs a copy from a folder of its own that everyone may enter.
    QTemporaryDir reachable(QDir::tempPath() + QStringLiteral("/port-holder-XXXXXX"));
    ASSERT_TRUE(reachable.isValid());
    const QString program = reachable.filePath(QStringLiteral("port_holder"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PORT_HOLDER), program));
    ASSERT_EQ(::chmod(QFile::encodeName(reachable.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);

    const struct {
        const char *group; // the device's group
        mode_t mode;
        const char16_t *told;
    } cases[] = {
        {"dialout", 0660, u"failed: join group dialout, log in again"},
        {"uucp", 0660, u"failed: join group uucp, log in again"},
        {"dialout", 0600, u"failed: no group gives access, only root"},
        {"root", 0660, u"failed: no group gives access, only root"},
    };
    const QByteArray device = QFile::encodeName(pty.path());
    for (const auto &c : cases) {
        const group *owner = ::getgrnam(c.group);
        if (owner == nullptr)
            continue; // this system has no such group
        ASSERT_EQ(::chown(device.constData(), 0, owner->gr_gid), 0);
        ASSERT_EQ(::chmod(device.constData(), c.mode), 0);
        QProcess holder;
        holder.setChildProcessModifier([] {
            // nobody, in no group that may use the device
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
        });
        holder.start(program, {pty.path()});
        ASSERT_TRUE(holder.waitForFinished(kWaitMs));
        ASSERT_EQ(holder.exitCode(), 1) << holder.readAllStandardError().toStdString();
        EXPECT_EQ(QString::fromLocal8Bit(holder.readAllStandardOutput().trimmed()),
                  QString::fromUtf16(c.told))
            << c.group << ' ' << std::oct << c.mode;
    }
}

TEST_F(ServiceTest, SecondServiceOnTheSamePortIsRefused) {
    ASSERT_TRUE(service.SetPortOpen(true));
    QtSerialPortService other(ports);
    other.SetCommPort(1);
    other.SetSettings(tuner::LineSettingsText(tuner::kLineSettings));
    EXPECT_FALSE(other.SetPortOpen(true));
    EXPECT_EQ(other.LastError(), QStringLiteral("in use by another program"));
    EXPECT_TRUE(service.PortOpen());
}

// Each service opens the device of the table it was given, as that table says at the open.
TEST(ServicePortTable, OpensThroughItsOwnTable) {
    App();
    Pty pty;
    ASSERT_TRUE(pty.ok());
    comfunct::PortTable mine;
    comfunct::PortTable other;
    mine.SetDevicePath(1, pty.path());
    other.SetDevicePath(1, QStringLiteral("/nonexistent/tty"));
    QtSerialPortService service(mine);
    QtSerialPortService elsewhere(other);
    for (QtSerialPortService *s : {&service, &elsewhere}) {
        s->SetCommPort(1);
        s->SetSettings(tuner::LineSettingsText(tuner::kLineSettings));
    }
    ASSERT_TRUE(service.SetPortOpen(true)) << service.LastError().toStdString();
    ASSERT_TRUE(service.Output(QStringLiteral("R\r")));
    EXPECT_EQ(pty.Read(2), QByteArray("R\r")) << "the table's device is the one opened";
    EXPECT_FALSE(elsewhere.SetPortOpen(true));
    EXPECT_EQ(elsewhere.LastError(), QStringLiteral("no such port"));

    service.SetPortOpen(false);
    mine.SetDevicePath(1, QStringLiteral("/nonexistent/tty"));
    EXPECT_FALSE(service.SetPortOpen(true));
    EXPECT_EQ(service.LastError(), QStringLiteral("no such port"));
}

TEST_F(ServiceTest, OutputJustBeforeCloseStillReachesTheLine) {
    ASSERT_TRUE(service.SetPortOpen(true));
    QByteArray sent;
    for (int i = 0; i < 512; ++i)
        sent.append(static_cast<char>('A' + i % 26));
    ASSERT_TRUE(service.Output(QString::fromLatin1(sent)));
    ASSERT_TRUE(service.SetPortOpen(false)); // no event loop ran in between
    EXPECT_FALSE(service.PortOpen());
    EXPECT_EQ(pty.Read(sent.size()), sent);
}

TEST_F(ServiceTest, OutputOnAClosedPortFails) {
    EXPECT_FALSE(service.Output(QStringLiteral("R\r")));
    EXPECT_FALSE(service.LastError().isEmpty());
}

} // namespace
