// The built dccd-ctl against the built dccd-sim, and against a pseudo-terminal of the test.

#include "tests/link/serial/pty_support.h"
#include "tests/support/default_tune.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#include "tunes/restore_points/restore_points.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

namespace {

constexpr int kWaitMs = 30000; // bounds a hang: the machines running these are shared and busy
// A whole run of dccd-ctl: a write may wait for three answers of up to kWaitMs each.
constexpr int kRunMs = 4 * kWaitMs;

const char *const kDefaults = kDefaultTuneFile;

// A command line written with spaces.
QStringList Words(const std::string &line) {
    return QString::fromStdString(line).split(u' ');
}

// A tune file as read writes it, without its read_at line, which must hold a time in UTC.
QByteArray WithoutReadAt(const QString &text) {
    static const QRegularExpression readAt(
        QStringLiteral("\n  \"read_at\": \"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\","));
    QString without = text;
    EXPECT_EQ(without.count(readAt), 1) << text.toStdString();
    return without.remove(readAt).toUtf8();
}

// The default file with one piece of its text replaced.
QByteArray Edited(const char *from, const char *to) {
    return QByteArray(kDefaults).replace(from, to);
}

struct CtlRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// prepare sets up the process before it starts (where its standard output goes, say).
CtlRun Ctl(const QStringList &arguments, const std::function<void(QProcess &)> &prepare = {},
           const QString &program = QStringLiteral(DCCD_CTL)) {
    QProcess ctl;
    if (prepare)
        prepare(ctl);
    ctl.start(program, arguments);
    CtlRun run;
    if (!ctl.waitForFinished(kRunMs)) {
        ctl.kill();
        ctl.waitForFinished();
        run.err = QStringLiteral("(dccd-ctl did not end)");
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
        // Restore points go to this test's own folder, never the user's.
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
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
        ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/pts/"))) << device.toStdString();
    }
    // The first --port is the one used; the second only maps a device. The simulator answers at
    // once, but a busy machine may run it later than dccd-ctl's own 3 s: a run waits as long as
    // the test would, unless it is about the wait itself.
    QStringList Port(const QString &timeout = QString::number(kWaitMs / 1000)) const {
        return {QStringLiteral("--port"),    QStringLiteral("1=") + device,
                QStringLiteral("--port"),    QStringLiteral("16=/dev/null"),
                QStringLiteral("--timeout"), timeout};
    }
    // dccd-ctl on the simulator's port (defaults takes none).
    CtlRun CtlSim(const QStringList &arguments,
                  const std::function<void(QProcess &)> &prepare = {}) {
        return Ctl(arguments.constFirst() == u"defaults" ? arguments : arguments + Port(), prepare);
    }

    // Every log line of the simulator so far (for a check that nothing came).
    QStringList SimLog() {
        QTest::qWait(100);
        m_simLog += QString::fromLatin1(sim.readAllStandardOutput());
        return m_simLog.split(u'\n', Qt::SkipEmptyParts);
    }
    // The same once the line `until` is among them (the simulator may log a record after
    // dccd-ctl has ended).
    QStringList SimLog(const QString &until) {
        const bool seen = QTest::qWaitFor(
            [&] {
                m_simLog += QString::fromLatin1(sim.readAllStandardOutput());
                return m_simLog.split(u'\n').contains(until);
            },
            kWaitMs);
        EXPECT_TRUE(seen) << "the simulator never logged " << until.toStdString();
        return m_simLog.split(u'\n', Qt::SkipEmptyParts);
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
    QString m_simLog;
};

TEST_F(CtlTest, ReadPrintsTheControllersTune) {
    StartSim({QStringLiteral("--values"), QStringLiteral("120,90,100,80,10,40,1,0,0")});
    const CtlRun run = Ctl(QStringList{QStringLiteral("read")} + Port());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(WithoutReadAt(run.out),
              Edited("\"version\": 1,\n  \"acceleration\": 100,\n  \"deceleration\": 100,\n  "
                     "\"turning\": 100,\n  "
                     "\"max_output\": 100,\n  \"min_output\": 0,\n  "
                     "\"lfb_threshold\": 33,\n  \"tps_reverse\": false",
                     "\"version\": 1,\n  \"port\": 1,\n  \"acceleration\": 120,\n  "
                     "\"deceleration\": 90,\n  \"turning\": 100,\n  "
                     "\"max_output\": 80,\n  \"min_output\": 10,\n  "
                     "\"lfb_threshold\": 40,\n  \"tps_reverse\": true"));
    EXPECT_EQ(SimLog(QStringLiteral("received: R")).value(0), QStringLiteral("received: R"));
}

TEST_F(CtlTest, ReadWriteReadGivesIdenticalFilesAndWriteVerifies) {
    StartSim({QStringLiteral("--values"), QStringLiteral("7,200,0,100,99,1,0,1,0")});
    const QString first = dir.filePath(QStringLiteral("first.json"));
    const QString second = dir.filePath(QStringLiteral("second.json"));
    ASSERT_EQ(
        Ctl(QStringList{QStringLiteral("read"), QStringLiteral("-o"), first} + Port()).exitCode, 0);

    const CtlRun written = Ctl(QStringList{QStringLiteral("write"), first} + Port());
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_TRUE(written.err.endsWith(QStringLiteral("dccd-ctl: saved and verified on port 1 (") +
                                     device + QStringLiteral(")\n")))
        << written.err.toStdString();
    ASSERT_EQ(Ctl(QStringList{QStringLiteral("read"), QStringLiteral("--output"), second} + Port())
                  .exitCode,
              0);
    EXPECT_EQ(WithoutReadAt(QString::fromUtf8(Contents(first))),
              WithoutReadAt(QString::fromUtf8(Contents(second))));
    const QString save =
        QStringLiteral("received: S,00007,00200,00000,00100,00099,00001,00000,00001,00000,");
    EXPECT_TRUE(SimLog(save).contains(save));
}

TEST_F(CtlTest, WriteSendsTheEditAndDiffComparesWithTheController) {
    StartSim({});
    const QString street =
        File(QStringLiteral("street.json"), Edited("\"turning\": 100", "\"turning\": 140"));
    const CtlRun before =
        Ctl(QStringList{QStringLiteral("diff"), street, QStringLiteral("port")} + Port());
    EXPECT_EQ(before.exitCode, 1) << before.err.toStdString();
    EXPECT_EQ(before.out, QStringLiteral("setting  ") + street +
                              QStringLiteral("  port 1\nturning  140") +
                              QString(street.size() - 1, u' ') + QStringLiteral("100\n"));

    const CtlRun written =
        Ctl(QStringList{QStringLiteral("write"), street, QStringLiteral("--calibrate")} + Port());
    EXPECT_EQ(written.exitCode, 0) << "the calibration request is not compared";
    const CtlRun after =
        Ctl(QStringList{QStringLiteral("diff"), QStringLiteral("port:1"), street} + Port());
    EXPECT_EQ(after.exitCode, 0) << after.out.toStdString();
    EXPECT_EQ(after.out, QString());
    const QString stored = QStringLiteral("stored: 100,100,140,100,0,33,0,0,1");
    EXPECT_TRUE(SimLog(stored).contains(stored));
}

TEST_F(CtlTest, NoVerifyOnlySends) {
    StartSim({});
    const CtlRun run =
        Ctl(QStringList{QStringLiteral("write"), File(QStringLiteral("t.json"), kDefaults),
                        QStringLiteral("--no-verify"), QStringLiteral("--no-restore-point")} +
            Port());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, QStringLiteral("dccd-ctl: sent to port 1 (") + device +
                           QStringLiteral("); not verified\n"));
    const QString stored = QStringLiteral("stored: 100,100,100,100,0,33,0,0,0");
    EXPECT_EQ(SimLog(stored).mid(1), QStringList{stored}) << "the save and no read request";
}

TEST_F(CtlTest, AControllerThatForgetsFailsVerifyWithTheDifference) {
    StartSim({QStringLiteral("--forgetful")});
    const QString file =
        File(QStringLiteral("t.json"),
             Edited("\"max_output\": 100", "\"max_output\": 90")
                 .replace("\"ebrake_cut_off\": false", "\"ebrake_cut_off\": true"));
    const CtlRun run = Ctl(QStringList{QStringLiteral("write"), file} + Port());
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_EQ(run.err.section(u'\n', 1),
              QStringLiteral("dccd-ctl: verify failed: port 1 (") + device +
                  QStringLiteral(") does not hold what was sent:\n"
                                 "setting         sent  controller holds\n"
                                 "max_output      90    100\n"
                                 "ebrake_cut_off  true  false\n"));
}

// Every write keeps what the controller held, and that restore point brings it back. --only
// changes only the settings it names; a note travels with the file and is told apart by diff.
TEST_F(CtlTest, RestorePointsOnlyAndNotes) {
    StartSim({QStringLiteral("--values"), QStringLiteral("120,90,100,80,10,40,1,0,0")});
    const QString track =
        File(QStringLiteral("track.json"),
             Edited("\"version\": 1,", "\"version\": 1,\n  \"note\": \"track, dry\",")
                 .replace("\"turning\": 100", "\"turning\": 140")
                 .replace("\"max_output\": 100", "\"max_output\": 60"));
    const CtlRun only = Ctl(Words("write --only turning --only max_output") << track << Port());
    ASSERT_EQ(only.exitCode, 0) << only.err.toStdString();
    const QString stored = QStringLiteral("stored: 120,90,140,60,10,40,1,0,0");
    EXPECT_TRUE(SimLog(stored).contains(stored)) << "only turning and max_output changed";

    // The restore point holds what the controller held before, where and when it was read.
    const QDir folder(dir.filePath(QStringLiteral("state/dccd-tuner/restore-points")));
    const QStringList kept = folder.entryList({QStringLiteral("*.json")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(only.err.startsWith(QStringLiteral("dccd-ctl: restore point %1 keeps what port 1")
                                        .arg(kept.first().chopped(5))))
        << only.err.toStdString();
    const QByteArray before = Contents(folder.filePath(kept.first()));
    EXPECT_TRUE(before.contains("\"port\": 1,\n  \"acceleration\": 120,\n  \"deceleration\": 90,\n "
                                " \"turning\": 100,"))
        << before.toStdString();
    const CtlRun listed = Ctl({QStringLiteral("restore-points")});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.out.section(u'\n', 1, 1)
                    .endsWith(QStringLiteral(
                        "1     acceleration 120, deceleration 90, max_output 80, min_output 10, "
                        "lfb_threshold 40, tps_reverse true")))
        << listed.out.toStdString();

    // Back to the latest restore point: the controller holds its old tune again, and the write
    // said what it wrote back before it did.
    const CtlRun back = Ctl(Words("write --restore-point latest") << Port());
    EXPECT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_TRUE(
        back.err.startsWith(QStringLiteral("dccd-ctl: writing back the restore point %1, taken ")
                                .arg(kept.first().chopped(5))))
        << back.err.toStdString();
    EXPECT_EQ(SimLog(QStringLiteral("stored: 120,90,100,80,10,40,1,0,0"))
                  .count(QStringLiteral("stored: 120,90,100,80,10,40,1,0,0")),
              1);
    EXPECT_EQ(folder.entryList({QStringLiteral("*.json")}).size(), 2);
    // The same controller mapped to port 2: latest is of port 2, and a restore point of port 1
    // goes there only by name, with a line saying so.
    const QStringList port2{QStringLiteral("--port"), QStringLiteral("2=") + device};
    const CtlRun none = Ctl(Words("write --restore-point latest") << port2);
    EXPECT_EQ(none.exitCode, 5);
    EXPECT_TRUE(
        none.err.startsWith(QStringLiteral("dccd-ctl: there is no restore point of port 2 yet")))
        << none.err.toStdString();
    const CtlRun across = Ctl(Words("write --no-verify --restore-point") << kept.first() << port2);
    EXPECT_EQ(across.exitCode, 0) << across.err.toStdString();
    EXPECT_EQ(
        across.err.section(u'\n', 1, 1),
        QStringLiteral("dccd-ctl: it was taken from port 1, not from port 2, where it goes now"));

    // A restore point another process is using is spared by every prune, and said to be, until
    // it is let go.
    const QString first = kept.first().chopped(5);
    qputenv("DCCD_KEEP_RESTORE_POINTS", "1");
    const auto unset = qScopeGuard([] { qunsetenv("DCCD_KEEP_RESTORE_POINTS"); });
    auto held = tuner::HoldRestorePoint(first);
    ASSERT_TRUE(std::holds_alternative<tuner::RestorePointInUse>(held));
    const CtlRun spared = Ctl(Words("write --no-verify") << track << Port());
    EXPECT_TRUE(spared.err.endsWith(QStringLiteral("removed 2 older restore points; the newest 1 "
                                                   "is kept, and %1, which a write is using\n")
                                        .arg(first)))
        << spared.err.toStdString();
    held = tuner::RestorePointInUse();
    const CtlRun pruned = Ctl(Words("write --no-verify") << track << Port());
    EXPECT_TRUE(pruned.err.endsWith(
        QStringLiteral("removed 2 older restore points; the newest 1 is kept\n")))
        << pruned.err.toStdString();

    // Against the defaults, for a script: the note differs too, but only settings count.
    const CtlRun json = Ctl(QStringList{QStringLiteral("diff"), QStringLiteral("defaults"), track,
                                        QStringLiteral("--json")} +
                            Port());
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_TRUE(json.out.contains(QStringLiteral("\"setting\": \"turning\"")) &&
                json.out.contains(QStringLiteral("\"second\": \"track, dry\"")) &&
                json.out.contains(QStringLiteral("\"equal\": false")))
        << json.out.toStdString();
    const QString untitled = File(QStringLiteral("untitled.json"),
                                  Contents(track).replace("  \"note\": \"track, dry\",\n", ""));
    const CtlRun notes = Ctl({QStringLiteral("diff"), track, untitled});
    EXPECT_EQ(notes.exitCode, 0) << "the settings are equal";
    EXPECT_TRUE(notes.out.contains(QStringLiteral("note     \"track, dry\"")))
        << notes.out.toStdString();
}

// A controller that holds a value outside its range (set by something else): what it held is
// kept and listed, marked, but neither writing it back nor --only ever sends that value.
TEST_F(CtlTest, AValueOutsideItsRangeIsKeptButNeverSent) {
    StartSim({QStringLiteral("--report"),
              QStringLiteral("P,00100,00100,00100,00100,-00005,00033,00000,00000,00000")});
    const CtlRun write =
        Ctl(Words("write --no-verify") << File(QStringLiteral("t.json"), kDefaults) << Port());
    EXPECT_EQ(write.exitCode, 0) << write.err.toStdString();
    const CtlRun listed = Ctl({QStringLiteral("restore-points")});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.out.contains(
        QStringLiteral("min_output -5, outside 0 to 100: cannot be written back\n")))
        << listed.out.toStdString();
    for (const QStringList &arguments :
         {Words("write --restore-point latest"),
          Words("write --only turning") << File(QStringLiteral("t.json"), kDefaults)}) {
        const CtlRun refused = Ctl(arguments + Port());
        EXPECT_EQ(refused.exitCode, 5);
        EXPECT_TRUE(refused.err.endsWith(
            arguments.contains(QStringLiteral("--only"))
                ? QStringLiteral(
                      "port 1 holds min_output -5, outside 0 to 100; write a whole tune instead\n")
                : QStringLiteral("holds min_output -5, outside 0 to 100; the controller takes no "
                                 "such value, so it cannot be written back\n")))
            << refused.err.toStdString();
    }
    const QString save =
        QStringLiteral("received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,");
    EXPECT_EQ(SimLog(save).filter(QStringLiteral("received: S")), QStringList{save})
        << "only the first write sent a save";

    // A folder this user may not read is told, not taken for an empty one: as root, the
    // listing runs as nobody (a copy of the program that nobody may run, as the build may be in
    // a folder of root's own), who may reach the folder but not read it.
    const QString folder = dir.filePath(QStringLiteral("state/dccd-tuner/restore-points"));
    const QString program = dir.filePath(QStringLiteral("dccd-ctl"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(DCCD_CTL), program));
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);
    for (const QString &path : {dir.path(), dir.filePath(QStringLiteral("state")),
                                dir.filePath(QStringLiteral("state/dccd-tuner"))})
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0), 0);
    const CtlRun unread = Ctl(
        {QStringLiteral("restore-points")},
        [](QProcess &ctl) {
            ctl.setChildProcessModifier([] {
                if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                    ::_exit(99);
            });
        },
        program);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(unread.exitCode, 5);
    EXPECT_EQ(unread.err,
              QStringLiteral("dccd-ctl: Cannot read %1: Permission denied.\n").arg(folder));
}

// A write that cannot first keep what the controller holds writes nothing, unless told to.
TEST_F(CtlTest, NoRestorePointNoWrite) {
    StartSim({QStringLiteral("--silent")});
    const QString tune = File(QStringLiteral("t.json"), kDefaults);
    const CtlRun refused =
        Ctl(QStringList{QStringLiteral("write"), tune} + Port(QStringLiteral("0.5")));
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_TRUE(refused.err.endsWith(QStringLiteral(
        "No restore point could be taken, so nothing was written (--no-restore-point writes "
        "without one).\n")))
        << refused.err.toStdString();
    const CtlRun sent =
        Ctl(QStringList{QStringLiteral("write"), tune, QStringLiteral("--no-restore-point"),
                        QStringLiteral("--no-verify")} +
            Port());
    EXPECT_EQ(sent.exitCode, 0) << sent.err.toStdString();
    const QString received =
        QStringLiteral("received: S,00100,00100,00100,00100,00000,00033,00000,00000,00000,");
    EXPECT_EQ(SimLog(received).count(received), 1) << "only the second write sent a save";
}

TEST_F(CtlTest, ASilentControllerTimesOutAfterOneWaitingLine) {
    StartSim({QStringLiteral("--silent")});
    const CtlRun run = Ctl(QStringList{QStringLiteral("read")} + Port(QStringLiteral("1")));
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.err,
              QStringLiteral("dccd-ctl: Waiting for DCCD to respond... check your com port!\n"
                             "dccd-ctl: No answer from port 1 (") +
                  device + QStringLiteral(") within 1 s.\n"));
    EXPECT_EQ(run.out, QString());
}

TEST_F(CtlTest, ALineThatHangsUpAfterTheSaveIsALostLine) {
    StartSim({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    const CtlRun run =
        Ctl(QStringList{QStringLiteral("write"), File(QStringLiteral("t.json"), kDefaults),
                        QStringLiteral("--no-restore-point")} +
            Port());
    EXPECT_EQ(run.exitCode, 7) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("dccd-ctl: Connection lost: ")) ||
                run.err.startsWith(QStringLiteral("dccd-ctl: Read request failed: ")))
        << run.err.toStdString();
}

TEST_F(CtlTest, AMissingDeviceCannotBeOpened) {
    const CtlRun run = Ctl({QStringLiteral("read"), QStringLiteral("--port"),
                            QStringLiteral("3=") + dir.filePath(QStringLiteral("none"))});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, QStringLiteral("dccd-ctl: Cannot open port 3 (") +
                           dir.filePath(QStringLiteral("none")) +
                           QStringLiteral("): no such port.\ndccd-ctl --list-ports shows the ports "
                                          "there are.\n"));
}

// A line scripted on the test's own pseudo-terminal: each record that arrives is answered from
// the row, by a thread of its own while dccd-ctl runs.
struct LineScript {
    const char *name;
    bool echo;           // every record comes straight back first (a half-duplex line)
    QByteArray toRead;   // the answer to a read request
    QByteArray toSave;   // the answer to a save
    const char *command; // "read", "write" (the default tune) or "write-no-verify"
    int exitCode;
    const char16_t *said; // the end of standard error (read: of standard output)
    bool stuck = false;   // the line takes no output
};

class ScriptedPeer {
public:
    ScriptedPeer(const testing_support::Pty &pty, const LineScript &script)
        : m_pty(pty), m_script(script), m_thread([this] { Run(); }) {}
    ~ScriptedPeer() {
        m_stop = true;
        m_thread.join();
    }

private:
    void Run() {
        QByteArray pending;
        while (!m_stop) {
            pollfd p{m_pty.master(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
            if (n <= 0)
                continue;
            pending.append(buffer, n);
            qsizetype end = 0;
            while ((end = pending.indexOf('\r')) >= 0) {
                const QByteArray record = pending.left(end);
                pending.remove(0, end + 1);
                if (m_script.echo)
                    m_pty.Write(record + '\r');
                m_pty.Write(record == "R" ? m_script.toRead
                                          : (record.startsWith('S') ? m_script.toSave : ""));
            }
        }
    }

    const testing_support::Pty &m_pty;
    const LineScript &m_script;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// An answer as text, its middle left out when it is long.
std::string Shown(const QByteArray &answer) {
    const QString text = QString::fromLatin1(answer);
    if (text.size() <= 120)
        return '"' + Printable(text) + '"';
    return '"' + Printable(text.left(60)) + "..." + Printable(text.right(60)) + "\" (" +
           std::to_string(text.size()) + " bytes)";
}

void PrintTo(const LineScript &script, std::ostream *os) {
    *os << script.command << (script.echo ? " on a line that echoes" : "")
        << (script.stuck ? " on a line that takes no output" : "") << ", read answered with "
        << Shown(script.toRead) << ", save answered with " << Shown(script.toSave);
}

class CtlOnALine : public CtlTest, public ::testing::WithParamInterface<LineScript> {};

TEST_P(CtlOnALine, TellsOnlyWhatHappened) {
    const LineScript &script = GetParam();
    testing_support::Pty line;
    ASSERT_TRUE(line.ok());
    if (script.stuck) {
        ASSERT_EQ(::tcflow(line.slave(), TCOOFF), 0);
    }
    const QString command = QString::fromLatin1(script.command);
    QStringList arguments{command.section(u'-', 0, 0)};
    if (command.startsWith(u"write"))
        arguments << File(QStringLiteral("t.json"), kDefaults)
                  << QStringLiteral("--no-restore-point");
    if (command.endsWith(u"no-verify"))
        arguments.append(QStringLiteral("--no-verify"));
    // The peer answers at once, but a busy machine may run it late: an answer is waited for as
    // long as the test would wait. A row that gives no report waits the whole time, so there the
    // wait is shorter, still long beside the peer's answer.
    arguments << QStringLiteral("--timeout")
              << QString::number(script.toRead.contains("P,") ? kWaitMs / 1000 : 5)
              << QStringLiteral("--port") << QStringLiteral("1=") + line.path();
    CtlRun run;
    {
        const ScriptedPeer peer(line, script);
        run = Ctl(arguments);
    }
    EXPECT_EQ(run.exitCode, script.exitCode) << run.err.toStdString();
    const QString said =
        QString::fromUtf16(script.said).replace(QStringLiteral("$DEVICE"), line.path());
    const bool toOut = (command == u"read" && run.exitCode == 0) || command == u"check";
    EXPECT_TRUE((toOut ? run.out : run.err).endsWith(said))
        << "out: " << run.out.toStdString() << "\nerr: " << run.err.toStdString();
    // A backup keeps one restore point, noted as kept by hand, or none when it failed.
    if (command == u"backup") {
        const QDir kept(dir.filePath(QStringLiteral("state/dccd-tuner/restore-points")));
        const qsizetype points = run.exitCode == 0 ? 1 : 0;
        EXPECT_EQ(kept.entryList({QStringLiteral("*.json")}).size(), points);
        EXPECT_EQ(Ctl({QStringLiteral("restore-points")}).out.count(u"kept by hand"), points);
    }
}

// The controller's report in its CR, and one with another acceleration.
const QByteArray kReport = "P,00100,00100,00100,00100,00000,00033,00000,00000,00000\r";
const QByteArray kOtherReport = "P,00120,00100,00100,00100,00000,00033,00000,00000,00000\r";

INSTANTIATE_TEST_SUITE_P(
    Scripts, CtlOnALine,
    ::testing::Values(
        LineScript{"LoopBackPlug", true, "", "", "write", 4,
                   u"dccd-ctl: port 1 ($DEVICE) answered, but not with a settings report "
                   u"(S,00100,00100,00100,00100,00000,00033,00\u2026): is this the controller, at "
                   u"57600 baud?\n"},
        LineScript{"EchoAndTheOldValues", true, kOtherReport, "", "write", 6,
                   u"acceleration  100   120\n"},
        LineScript{"EchoAndTheStoredValues", true, kReport, "", "write", 0,
                   u"dccd-ctl: saved and verified on port 1 ($DEVICE)\n"},
        LineScript{"AReportToEachSave", false, kReport, kReport, "write", 0,
                   u"dccd-ctl: saved and verified on port 1 ($DEVICE)\n"},
        LineScript{"TwoReports", false, kReport + kOtherReport, "", "read", 0,
                   u"\"acceleration\": 120,\n  \"deceleration\": 100,\n  \"turning\": 100,\n  "
                   u"\"max_output\": 100,\n  \"min_output\": 0,\n  \"lfb_threshold\": 33,\n  "
                   u"\"tps_reverse\": false,\n  \"ebrake_cut_off\": false\n}\n"},
        LineScript{"ThenAPrompt", false, kOtherReport + "\nOK>", "", "read", 0,
                   u"\"ebrake_cut_off\": false\n}\n"},
        LineScript{"BannerFirst", false, "DCCD 2.1, ready, 57600 8N1\r\n" + kOtherReport, "",
                   "read", 0, u"\"ebrake_cut_off\": false\n}\n"},
        LineScript{"AcrossTheInputLimit", false, QByteArray(1000, 'x') + '\r' + kOtherReport, "",
                   "read", 0, u"\"ebrake_cut_off\": false\n}\n"},
        LineScript{"AfterALongNoise", false, QByteArray(1100, 'x') + kOtherReport, "", "read", 0,
                   u"\"ebrake_cut_off\": false\n}\n"},
        LineScript{"AShortAnswer", false, "AT+OK, a modem here\r\n", "", "read", 4,
                   u"dccd-ctl: port 1 ($DEVICE) answered, but not with a settings report (AT+OK, a "
                   u"modem here\\x0D\\x0A): is this the controller, at 57600 baud?\n"},
        LineScript{
            "NotTheController", false, "AT+OK, a modem here and not the controller you want\r\n",
            "", "read", 4,
            u"dccd-ctl: port 1 ($DEVICE) answered, but not with a settings report (AT+OK, a "
            u"modem here and not the controll\u2026): is this the controller, at 57600 baud?\n"},
        LineScript{"Backup", false, kReport, "", "backup", 0,
                   u" keeps what port 1 ($DEVICE) held\n"},
        LineScript{"BackupOfASilentPort", false, "", "", "backup", 4,
                   u"dccd-ctl: No answer from port 1 ($DEVICE) within 5 s.\n"},
        LineScript{"Check", false, kReport, "", "check", 0,
                   u" ms: P,00100,00100,00100,00100,00000,00033,00000,00000,00000\\x0D\nVerdict: "
                   u"the controller answered with its settings: acceleration 100, deceleration "
                   u"100, turning 100, max_output 100, min_output 0, lfb_threshold 33, "
                   u"tps_reverse false, ebrake_cut_off false.\n"},
        LineScript{"CheckASilentPort", false, "", "", "check", 4,
                   u"Came back within 5 s: nothing\nVerdict: nothing answered: the wrong port, "
                   u"the controller off, or the wrong cable.\n"},
        LineScript{"CheckALoopBack", true, "", "", "check", 4,
                   u" ms: R\\x0D\nVerdict: only our own read request came back: the line loops "
                   u"back (a loop-back plug, or TX joined to RX) or the adapter echoes, and the "
                   u"controller did not answer.\n"},
        LineScript{"StuckLineNoVerify", false, "", "", "write-no-verify", 7,
                   u"dccd-ctl: the save did not reach the line of port 1 ($DEVICE): it was "
                   u"dropped at the close.\n",
                   true}),
    RowName());

struct BadFile {
    const char *name;
    QByteArray text;
    const char16_t *message; // after "dccd-ctl: <path>"
};

void PrintTo(const BadFile &c, std::ostream *os) {
    *os << "a tune file of " << c.text.size() << " bytes, refused with \""
        << Printable(QString::fromUtf16(c.message)) << '"';
}

class CtlBadFile : public CtlTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(CtlBadFile, IsRefusedWithItsMessageAndNothingIsSent) {
    testing_support::Pty peer;
    ASSERT_TRUE(peer.ok());
    const QString path = File(QStringLiteral("tune.json"), GetParam().text);
    const CtlRun run = Ctl({QStringLiteral("write"), path, QStringLiteral("--port"),
                            QStringLiteral("2=") + peer.path()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.err,
              QStringLiteral("dccd-ctl: ") + path + QString::fromUtf16(GetParam().message) + u'\n');
    EXPECT_EQ(peer.Read(1, 300), QByteArray()) << "the peer sees no byte";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CtlBadFile,
    ::testing::Values(
        BadFile{"NotParseable", Edited("\"version\": 1,", "\"version\": 1"),
                u":4:3: a comma or } is missing"},
        BadFile{"MissingKey", Edited("  \"turning\": 100,\n", ""),
                u": \"turning\" is missing; it must be a whole number from 0 to 200"},
        BadFile{"WrongType", Edited("\"tps_reverse\": false", "\"tps_reverse\": \"no\""),
                u": \"tps_reverse\" is \"no\"; it must be true or false"},
        BadFile{"OutOfRange", Edited("\"max_output\": 100", "\"max_output\": 101"),
                u": \"max_output\" is 101; it must be a whole number from 0 to 100"},
        BadFile{"Fraction", Edited("\"lfb_threshold\": 33", "\"lfb_threshold\": 33.5"),
                u": \"lfb_threshold\" is 33.5; it must be a whole number from 0 to 100"},
        BadFile{"UnknownKey", Edited("\"version\": 1,", "\"version\": 1,\n  \"calibrate\": true,"),
                u": \"calibrate\": no such setting; the keys are format, version, note, "
                u"read_at, port, acceleration, deceleration, turning, max_output, min_output, "
                u"lfb_threshold, tps_reverse, ebrake_cut_off"},
        BadFile{"MistypedKey", Edited("\"turning\"", "\"turing\""),
                u": \"turing\": no such setting; did you mean \"turning\"?"},
        BadFile{"Empty", "\n",
                u": the file is empty; 'dccd-ctl defaults' prints a tune file to "
                u"start from"},
        BadFile{"WrongVersion", Edited("\"version\": 1", "\"version\": 2"),
                u": \"version\" is 2; it must be 1"},
        BadFile{
            "KeyGivenTwice",
            Edited("\"ebrake_cut_off\": false", "\"ebrake_cut_off\": false,\n  \"turning\": 100")
                .replace("\"turning\": 100,", "\"turning\": 999,"),
            u": \"turning\" is given twice (lines 6 and 12)"},
        BadFile{"TooLarge", QByteArray(1 << 20, ' ') + kDefaults,
                u": larger than 1 MiB; a tune file is a few hundred bytes"}),
    RowName());

TEST_F(CtlTest, AnUnreadableFileIsRefused) {
    testing_support::Pty peer;
    const QString path = dir.filePath(QStringLiteral("absent.json"));
    const CtlRun run = Ctl({QStringLiteral("write"), path, QStringLiteral("--port"),
                            QStringLiteral("2=") + peer.path()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.err, QStringLiteral("dccd-ctl: Cannot read ") + path +
                           QStringLiteral(": No such file or directory.\n"));
    EXPECT_EQ(peer.Read(1, 100), QByteArray());

    // A name that is no UTF-8 (Latin-1 "café") is found by its bytes and shown with the byte
    // escaped; no file is made under a name it was not given.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"),
         QStringLiteral("printf %s \"$1\" >\"$(printf 'caf\\351.json')\"; \"$0\" diff defaults "
                        "\"$(printf 'caf\\351.json')\"; code=$?; \"$0\" defaults -o "
                        "\"$(printf 'new\\351.json')\"; exit $code"),
         QStringLiteral(DCCD_CTL),
         QString::fromUtf8(Edited("\"turning\": 100", "\"turning\": 140"))});
    ASSERT_TRUE(shell.waitForFinished(kWaitMs));
    EXPECT_EQ(shell.exitCode(), 1) << "the tunes differ";
    EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()).section(u'\n', 1, 1),
              QStringLiteral("turning  100       140"));
    EXPECT_EQ(QString::fromUtf8(shell.readAllStandardError()),
              QStringLiteral("dccd-ctl: Cannot write new\\xe9.json: the name is not UTF-8.\n"));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("new*")}), QStringList());
}

// A FIFO or a memory device (minor 3: null, 5: zero) where a tune file or a backup is expected;
// the device is made in the test's directory as root, or else is the system's own (which only
// root could replace).
struct SpecialFile {
    const char *name;
    unsigned minor; // 0: a FIFO
};

void PrintTo(const SpecialFile &c, std::ostream *os) {
    if (c.minor == 0)
        *os << "a FIFO";
    else
        *os << "the memory device of minor " << c.minor;
}

class CtlSpecialFile : public CtlTest, public ::testing::WithParamInterface<SpecialFile> {};

TEST_P(CtlSpecialFile, IsNeitherReadNorReplacedAndNothingIsSent) {
    StartSim({});
    QString special = dir.filePath(QStringLiteral("special"));
    const QByteArray name = QFile::encodeName(special);
    const unsigned minor = GetParam().minor;
    if (minor == 0)
        ASSERT_EQ(::mkfifo(name.constData(), 0600), 0);
    else if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        special = minor == 3 ? QStringLiteral("/dev/null") : QStringLiteral("/dev/zero");
    const QString tune = File(QStringLiteral("t.json"), kDefaults);
    for (const QStringList &arguments :
         {Words("write") << special, Words("diff") << tune << special, Words("read -o") << special,
          Words("defaults -o") << special}) {
        const CtlRun run = CtlSim(arguments);
        EXPECT_EQ(run.exitCode, 5);
        EXPECT_EQ(run.err,
                  QStringLiteral("dccd-ctl: Cannot %1 %2: not a regular file.\n")
                      .arg(arguments.contains(QStringLiteral("-o")) ? u"write" : u"read", special));
    }
    // Among the restore points, behind a link, it is passed over unopened.
    const QString folder = dir.filePath(QStringLiteral("state/dccd-tuner/restore-points"));
    const QString point = QStringLiteral("000001-20261207T150412Z-port1.json");
    ASSERT_TRUE(QDir().mkpath(folder) && QFile::link(special, folder + u'/' + point));
    const CtlRun listed = Ctl({QStringLiteral("restore-points")});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.out.endsWith(QStringLiteral("skipped %1: not a regular file\n").arg(point)))
        << listed.out.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(special).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) << "replaced by a file";
    EXPECT_EQ(SimLog(), QStringList()) << "nothing reached the controller";
}

INSTANTIATE_TEST_SUITE_P(Files, CtlSpecialFile,
                         ::testing::Values(SpecialFile{"Fifo", 0}, SpecialFile{"NullDevice", 3},
                                           SpecialFile{"ZeroDevice", 5}),
                         RowName());

// Standard output on /dev/full, or closed (whose number the port must not take: the tune would
// go to the controller).
struct LostOutput {
    const char *name;
    const char *command;
    bool closed; // else /dev/full
};

void PrintTo(const LostOutput &c, std::ostream *os) {
    *os << "dccd-ctl " << c.command << (c.closed ? " with standard output closed" : " >/dev/full");
}

class CtlLostOutput : public CtlTest, public ::testing::WithParamInterface<LostOutput> {};

TEST_P(CtlLostOutput, IsAFailure) {
    StartSim({});
    const std::string command = GetParam().command;
    const bool closed = GetParam().closed;
    QStringList arguments = Words(command);
    if (command == "diff port")
        arguments << File(QStringLiteral("t.json"), Edited("\"turning\": 100", "\"turning\": 140"));
    const CtlRun run = CtlSim(arguments, [closed](QProcess &ctl) {
        if (closed)
            ctl.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        else
            ctl.setStandardOutputFile(QStringLiteral("/dev/full"));
    });
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.err, QStringLiteral("dccd-ctl: Cannot write standard output: %1.\n")
                           .arg(closed ? u"Bad file descriptor" : u"No space left on device"));
}

INSTANTIATE_TEST_SUITE_P(Table, CtlLostOutput,
                         ::testing::Values(LostOutput{"ReadToAFullDevice", "read", false},
                                           LostOutput{"DefaultsToAFullDevice", "defaults", false},
                                           LostOutput{"DiffToAFullDevice", "diff port", false},
                                           LostOutput{"ReadWithOutputClosed", "read", true},
                                           LostOutput{"DefaultsWithOutputClosed", "defaults",
                                                      true}),
                         RowName());

// On a full disk (a 16 KiB tmpfs over the test's directory) a backup keeps its bytes.
TEST_F(CtlTest, AFullDiskKeepsTheOldBackupAndFails) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a full disk is a 16 KiB tmpfs, and mounting one needs root";
    const QByteArray disk = QFile::encodeName(dir.path());
    ASSERT_EQ(::mount("tmpfs", disk.constData(), "tmpfs", 0, "size=16k"), 0);
    const auto unmount = qScopeGuard([&disk] { ::umount2(disk.constData(), MNT_DETACH); });
    const QByteArray old = Edited("\"turning\": 100", "\"turning\": 140");
    const QString backup = File(QStringLiteral("stock.json"), old);
    QFile fill(dir.filePath(QStringLiteral("fill")));
    ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
    while (fill.write(QByteArray(4096, 'x')) == 4096 && fill.flush()) {
    }
    StartSim({});
    for (const QString &command : {QStringLiteral("read"), QStringLiteral("defaults")}) {
        const CtlRun run = CtlSim({command, QStringLiteral("-o"), backup});
        EXPECT_EQ(run.exitCode, 5);
        EXPECT_EQ(
            run.err,
            QStringLiteral("dccd-ctl: Cannot write %1: No space left on device.\n").arg(backup));
        EXPECT_EQ(Contents(backup), old);
    }
    // Nor can a restore point be kept there, which stops the write, with the system's reason.
    const CtlRun write = CtlSim({QStringLiteral("write"), backup});
    EXPECT_EQ(write.exitCode, 5);
    EXPECT_TRUE(
        write.err.contains(QStringLiteral(": No space left on device), so nothing was written")))
        << write.err.toStdString();
}

} // namespace
