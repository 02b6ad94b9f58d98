// The built dccd-ctl against the built dccd-sim, and against a pseudo-terminal of the test.

#include "tests/serial/pty_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 15000;

const char kDefaults[] = R"({
  "format": "dccd-tune",
  "version": 1,
  "acceleration": 100,
  "deceleration": 100,
  "turning": 100,
  "max_output": 100,
  "min_output": 0,
  "lfb_threshold": 33,
  "tps_reverse": false,
  "ebrake_cut_off": false
}
)";

// The default file with one piece of its text replaced.
QByteArray Edited(const char *from, const char *to) {
    return QByteArray(kDefaults).replace(from, to);
}

struct CtlRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CtlRun Ctl(const QStringList &arguments) {
    QProcess ctl;
    ctl.start(QStringLiteral(DCCD_CTL), arguments);
    CtlRun run;
    if (!ctl.waitForFinished(kWaitMs)) {
        ctl.kill();
        ctl.waitForFinished();
        run.err = u"(dccd-ctl did not end)"_qs;
        return run;
    }
    run.exitCode = ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -2;
    run.out = QString::fromUtf8(ctl.readAllStandardOutput());
    run.err = QString::fromUtf8(ctl.readAllStandardError());
    return run;
}

class CtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::App();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            sim.waitForFinished(kWaitMs);
        }
    }

    // Starts the simulator; its line becomes port 1 of every run through Port().
    void StartSim(const QStringList &arguments) {
        sim.start(QStringLiteral(DCCD_SIM), arguments);
        ASSERT_TRUE(sim.waitForStarted(kWaitMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, kWaitMs));
        device = QString::fromLocal8Bit(sim.readLine().trimmed());
        ASSERT_TRUE(device.startsWith(u"/dev/pts/"_qs)) << device.toStdString();
    }
    // The first --port is the one used; the second only maps a device.
    QStringList Port() const {
        return {u"--port"_qs, u"1="_qs + device, u"--port"_qs, u"16=/dev/null"_qs};
    }

    // Every log line of the simulator so far.
    QStringList SimLog() {
        QTest::qWait(100);
        return QString::fromLatin1(sim.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }

    QString File(const QString &name, const QByteArray &text) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        return path;
    }
    QByteArray Contents(const QString &path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    QTemporaryDir dir;
    QProcess sim;
    QString device;
};

TEST_F(CtlTest, ReadPrintsTheControllersTune) {
    StartSim({u"--values"_qs, u"120,90,100,80,10,40,1,0,0"_qs});
    const CtlRun run = Ctl(QStringList{u"read"_qs} + Port());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(run.out.toUtf8(), Edited("100,\n  \"deceleration\": 100,\n  \"turning\": 100,\n  "
                                       "\"max_output\": 100,\n  \"min_output\": 0,\n  "
                                       "\"lfb_threshold\": 33,\n  \"tps_reverse\": false",
                                       "120,\n  \"deceleration\": 90,\n  \"turning\": 100,\n  "
                                       "\"max_output\": 80,\n  \"min_output\": 10,\n  "
                                       "\"lfb_threshold\": 40,\n  \"tps_reverse\": true"));
    EXPECT_EQ(SimLog().value(0), u"received: R"_qs);
}

TEST_F(CtlTest, ReadWriteReadGivesIdenticalFilesAndWriteVerifies) {
    StartSim({u"--values"_qs, u"7,200,0,100,99,1,0,1,0"_qs});
    const QString first = dir.filePath(u"first.json"_qs);
    const QString second = dir.filePath(u"second.json"_qs);
    ASSERT_EQ(Ctl(QStringList{u"read"_qs, u"-o"_qs, first} + Port()).exitCode, 0);

    const CtlRun written = Ctl(QStringList{u"write"_qs, first} + Port());
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_EQ(written.err, u"dccd-ctl: saved and verified on port 1 ("_qs + device + u")\n"_qs);
    ASSERT_EQ(Ctl(QStringList{u"read"_qs, u"--output"_qs, second} + Port()).exitCode, 0);
    EXPECT_EQ(Contents(first), Contents(second));
    EXPECT_TRUE(SimLog().contains(
        u"received: S,00007,00200,00000,00100,00099,00001,00000,00001,00000,"_qs));
}

TEST_F(CtlTest, WriteSendsTheEditAndDiffComparesWithTheController) {
    StartSim({});
    const QString street = File(u"street.json"_qs, Edited("\"turning\": 100", "\"turning\": 140"));
    const CtlRun before = Ctl(QStringList{u"diff"_qs, street, u"port"_qs} + Port());
    EXPECT_EQ(before.exitCode, 1) << before.err.toStdString();
    EXPECT_EQ(before.out, u"setting  "_qs + street + u"  port 1\nturning  140"_qs +
                              QString(street.size() - 1, u' ') + u"100\n"_qs);

    const CtlRun written = Ctl(QStringList{u"write"_qs, street, u"--calibrate"_qs} + Port());
    EXPECT_EQ(written.exitCode, 0) << "the calibration request is not compared";
    const CtlRun after = Ctl(QStringList{u"diff"_qs, u"port:1"_qs, street} + Port());
    EXPECT_EQ(after.exitCode, 0) << after.out.toStdString();
    EXPECT_EQ(after.out, QString());
    const QStringList log = SimLog();
    EXPECT_TRUE(log.contains(u"stored: 100,100,140,100,0,33,0,0,1"_qs))
        << log.join(u'\n').toStdString();
}

TEST_F(CtlTest, NoVerifyOnlySends) {
    StartSim({});
    const CtlRun run =
        Ctl(QStringList{u"write"_qs, File(u"t.json"_qs, kDefaults), u"--no-verify"_qs} + Port());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, u"dccd-ctl: sent to port 1 ("_qs + device + u"); not verified\n"_qs);
    EXPECT_EQ(SimLog().mid(1), QStringList{u"stored: 100,100,100,100,0,33,0,0,0"_qs})
        << "the save and no read request";
}

TEST_F(CtlTest, AControllerThatForgetsFailsVerifyWithTheDifference) {
    StartSim({u"--forgetful"_qs});
    const QString file =
        File(u"t.json"_qs, Edited("\"max_output\": 100", "\"max_output\": 90")
                               .replace("\"ebrake_cut_off\": false", "\"ebrake_cut_off\": true"));
    const CtlRun run = Ctl(QStringList{u"write"_qs, file} + Port());
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_EQ(run.err, u"dccd-ctl: verify failed: port 1 ("_qs + device +
                           u") does not hold what was sent:\n"
                           u"setting         sent  controller holds\n"
                           u"max_output      90    100\n"
                           u"ebrake_cut_off  true  false\n"_qs);
}

TEST_F(CtlTest, ASilentControllerTimesOutAfterOneWaitingLine) {
    StartSim({u"--silent"_qs});
    const CtlRun run = Ctl(QStringList{u"read"_qs, u"--timeout"_qs, u"1"_qs} + Port());
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.err, u"dccd-ctl: Waiting for DCCD to respond... check your com port!\n"
                       u"dccd-ctl: No answer from port 1 ("_qs +
                           device + u") within 1 s.\n"_qs);
    EXPECT_EQ(run.out, QString());
}

TEST_F(CtlTest, ALineThatHangsUpAfterTheSaveIsALostLine) {
    StartSim({u"--hangup-after"_qs, u"1"_qs});
    const CtlRun run = Ctl(QStringList{u"write"_qs, File(u"t.json"_qs, kDefaults)} + Port());
    EXPECT_EQ(run.exitCode, 7) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(u"dccd-ctl: Connection lost: "_qs) ||
                run.err.startsWith(u"dccd-ctl: Read request failed: "_qs))
        << run.err.toStdString();
}

TEST_F(CtlTest, AMissingDeviceCannotBeOpened) {
    const CtlRun run = Ctl({u"read"_qs, u"--port"_qs, u"3="_qs + dir.filePath(u"none"_qs)});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, u"dccd-ctl: Cannot open port 3 ("_qs + dir.filePath(u"none"_qs) +
                           u"): no such port.\n"_qs);
}

struct BadFile {
    const char *kind;
    QByteArray text;
    const char16_t *message; // after "dccd-ctl: <path>"
};

class CtlBadFile : public CtlTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(CtlBadFile, IsRefusedWithItsMessageAndNothingIsSent) {
    testing_support::Pty peer;
    ASSERT_TRUE(peer.ok());
    const QString path = File(u"tune.json"_qs, GetParam().text);
    const CtlRun run = Ctl({u"write"_qs, path, u"--port"_qs, u"2="_qs + peer.path()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.err, u"dccd-ctl: "_qs + path + QString::fromUtf16(GetParam().message) + u'\n');
    EXPECT_EQ(peer.Read(1, 300), QByteArray()) << "the peer sees no byte";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CtlBadFile,
    ::testing::Values(
        BadFile{"NotParseable", Edited("\"version\": 1,", "\"version\": 1"),
                u":4:3: not valid JSON (unterminated object)"},
        BadFile{"MissingKey", Edited("  \"turning\": 100,\n", ""),
                u": \"turning\" is missing; it must be a whole number from 0 to 200"},
        BadFile{"WrongType", Edited("\"tps_reverse\": false", "\"tps_reverse\": \"no\""),
                u": \"tps_reverse\" is \"no\"; it must be true or false"},
        BadFile{"OutOfRange", Edited("\"max_output\": 100", "\"max_output\": 101"),
                u": \"max_output\" is 101; it must be a whole number from 0 to 100"},
        BadFile{"Fraction", Edited("\"lfb_threshold\": 33", "\"lfb_threshold\": 33.5"),
                u": \"lfb_threshold\" is 33.5; it must be a whole number from 0 to 100"},
        BadFile{"UnknownKey", Edited("\"version\": 1,", "\"version\": 1,\n  \"calibrate\": true,"),
                u": unknown key \"calibrate\"; the keys are format, version, acceleration, "
                u"deceleration, turning, max_output, min_output, lfb_threshold, tps_reverse, "
                u"ebrake_cut_off"},
        BadFile{"WrongVersion", Edited("\"version\": 1", "\"version\": 2"),
                u": \"version\" is 2; it must be 1"}),
    [](const ::testing::TestParamInfo<BadFile> &info) { return std::string(info.param.kind); });

TEST_F(CtlTest, AnUnreadableFileIsRefused) {
    testing_support::Pty peer;
    const QString path = dir.filePath(u"absent.json"_qs);
    const CtlRun run = Ctl({u"write"_qs, path, u"--port"_qs, u"2="_qs + peer.path()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.err, u"dccd-ctl: Cannot read "_qs + path + u": No such file or directory.\n"_qs);
    EXPECT_EQ(peer.Read(1, 100), QByteArray());
}

} // namespace
