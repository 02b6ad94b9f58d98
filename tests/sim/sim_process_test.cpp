// The built dccd-sim program against the real port service.

#include "link/ports/port_table.h"
#include "link/protocol/records.h"
#include "link/serial/port_service_linux.h"
#include "tests/link/serial/pty_support.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 30000; // bounds a hang: the machines running these are shared and busy

class Simulator : public ::testing::Test {
protected:
    void SetUp() override { testing_support::App(); }
    void TearDown() override {
        service.SetPortOpen(false);
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            sim.waitForFinished(kWaitMs);
        }
    }

    // Starts the simulator and opens its line through port 1.
    void Start(const QStringList &arguments) {
        sim.setProcessChannelMode(QProcess::SeparateChannels);
        sim.start(QStringLiteral(DCCD_SIM), arguments);
        ASSERT_TRUE(sim.waitForStarted(kWaitMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, kWaitMs))
            << sim.readAllStandardError().toStdString();
        device = QString::fromLocal8Bit(sim.readLine().trimmed());
        ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/pts/"))) << device.toStdString();
        ports.SetDevicePath(1, device);
        service.SetCommPort(1);
        service.SetSettings(tuner::LineSettingsText(tuner::kLineSettings));
        service.SetInputLen(0);
        service.SetRThreshold(tuner::kReceiveThreshold);
        ASSERT_TRUE(service.SetPortOpen(true)) << service.LastError().toStdString();
        QObject::connect(&service, &tuner::SerialPortService::OnComm, &service,
                         [this] { received.append(service.Input().toLatin1()); });
    }

    // The next log line of the simulator.
    QString NextLine() {
        if (!QTest::qWaitFor([&] { return sim.canReadLine(); }, kWaitMs))
            return QStringLiteral("(no line)");
        QByteArray line = sim.readLine();
        line.chop(1);
        return QString::fromLatin1(line);
    }

    QProcess sim;
    QString device;
    comfunct::PortTable ports;
    tuner::QtSerialPortService service{ports};
    QList<QByteArray> received;
};

TEST_F(Simulator, AnswersAReadRequestAndStoresASave) {
    Start({});
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    EXPECT_EQ(NextLine(), QStringLiteral("received: R"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
    EXPECT_EQ(received.at(0),
              QByteArray("P,00100,00100,00100,00100,00000,00033,00000,00000,00000\r"));

    const auto save =
        tuner::SaveCommand({QStringLiteral("120"), QStringLiteral("90"), QStringLiteral("100"),
                            QStringLiteral("80"), QStringLiteral("10"), QStringLiteral("40")},
                           true, false, true);
    ASSERT_TRUE(save.has_value());
    ASSERT_TRUE(service.Output(*save));
    EXPECT_EQ(NextLine(),
              QStringLiteral("sent: P,00100,00100,00100,00100,00000,00033,00000,00000,00000\\x0D"));
    EXPECT_EQ(NextLine(),
              QStringLiteral("received: S,00120,00090,00100,00080,00010,00040,00001,00000,00001,"));
    EXPECT_EQ(NextLine(), QStringLiteral("stored: 120,90,100,80,10,40,1,0,1"));
    EXPECT_EQ(NextLine(), QStringLiteral("calibrated: g-sensor"));

    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= 2; }, kWaitMs));
    EXPECT_EQ(received.at(1),
              QByteArray("P,00120,00090,00100,00080,00010,00040,00001,00000,00000\r"));
}

TEST_F(Simulator, ReportSentInPiecesArrivesAsOneEvent) {
    // The first piece stays under the threshold and the second ends the record, so however long
    // the gap between them runs on a busy machine, one event comes.
    Start({QStringLiteral("--chunk"), QStringLiteral("30"), QStringLiteral("--gap"),
           QStringLiteral("20"), QStringLiteral("--values"), QStringLiteral("1,2,3,4,5,6,1,1,0")});
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
    QTest::qWait(200);
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0),
              QByteArray("P,00001,00002,00003,00004,00005,00006,00001,00001,00000\r"));
}

TEST_F(Simulator, NoiseAndFixedReports) {
    Start({QStringLiteral("--noise"), QStringLiteral("--report"),
           QStringLiteral("X,1,2,3,4,5,6,0,0,0,and some more text after the tenth field")});
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, kWaitMs));
    EXPECT_EQ(received.at(0),
              QByteArray("\xfe~#?\xa7!\xe9*X,1,2,3,4,5,6,0,0,0,and some more text after the "
                         "tenth field\r"));
}

TEST_F(Simulator, SilentSimulatorNeverAnswers) {
    Start({QStringLiteral("--silent")});
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    EXPECT_EQ(NextLine(), QStringLiteral("received: R"));
    QTest::qWait(300);
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(Simulator, HangupLeavesTheServiceClosedWithLineLost) {
    QSignalSpy lost(&service, &tuner::SerialPortService::LineLost);
    Start({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    ASSERT_TRUE(service.Output(tuner::ReadRequest()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() > 0; }, kWaitMs));
    EXPECT_FALSE(service.PortOpen());
    ASSERT_TRUE(sim.state() == QProcess::NotRunning || sim.waitForFinished(kWaitMs));
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_EQ(lost.count(), 1);
}

TEST_F(Simulator, TerminateRemovesTheLink) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("dccd"));
    Start({QStringLiteral("--link"), link});
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), device);
    sim.terminate();
    ASSERT_TRUE(sim.state() == QProcess::NotRunning || sim.waitForFinished(kWaitMs));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// Something already at the --link path, a user's own link or a running simulator's, stays as
// it is: the second simulator refuses to start, and the first keeps its link to the end.
TEST_F(Simulator, LinkPathInUseIsRefusedAndLeftAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString own = dir.filePath(QStringLiteral("own"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), own));
    const QString link = dir.filePath(QStringLiteral("dccd"));
    Start({QStringLiteral("--link"), link});

    for (const QString &taken : {own, link}) {
        QProcess second;
        second.start(QStringLiteral(DCCD_SIM), {QStringLiteral("--link"), taken});
        ASSERT_TRUE(second.waitForFinished(kWaitMs));
        EXPECT_EQ(second.exitCode(), 2) << taken.toStdString();
        EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(second.readAllStandardError().contains("already exists"));
    }
    EXPECT_EQ(QFileInfo(own).symLinkTarget(), QStringLiteral("/dev/null"));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), device);
    sim.terminate();
    ASSERT_TRUE(sim.state() == QProcess::NotRunning || sim.waitForFinished(kWaitMs));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(own).isSymLink());
}

TEST(SimulatorArguments, BadValuesEndWithCodeTwo) {
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--values"), QStringLiteral("1,2,3")},
          QStringList{QStringLiteral("--values"), QStringLiteral("1,2,3,4,5,6,0,0,0,0")},
          QStringList{QStringLiteral("--values"), QStringLiteral("1,2,3,4,5,6,0,0,0,0,0")},
          QStringList{QStringLiteral("--values"), QStringLiteral("1,2,3,101,5,6,0,0,0")},
          QStringList{QStringLiteral("--values"), QStringLiteral("-1,2,3,4,5,6,0,0,0")},
          QStringList{QStringLiteral("--chunk"), QStringLiteral("0")},
          QStringList{QStringLiteral("--hangup-after"), QStringLiteral("x")},
          QStringList{QStringLiteral("--gap"), QStringLiteral("-1")}}) {
        QProcess sim;
        sim.start(QStringLiteral(DCCD_SIM), arguments);
        ASSERT_TRUE(sim.waitForFinished(kWaitMs));
        EXPECT_EQ(sim.exitCode(), 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
    }
}

} // namespace
