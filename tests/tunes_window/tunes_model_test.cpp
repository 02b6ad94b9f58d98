// The DCCD Tunes window's model against a simulated controller on a port in memory: what the
// rows mark and check, what Write to controller asks and sends, what it refuses, and what the
// status bar says.

#include "sim/controller.h"
#include "tests/support/memory_port.h"
#include "tests/support/platform_ports.h"
#include "tests/support/row_name.h"
#include "tests/support/test_app.h"
#include "tunes/files/tune_file.h"
#include "tunes/restore_points/state_folder.h"
#include "tunes_window/tunes_model.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct TunesCase {
    const char *name;
    int held;                       // the controller's acceleration
    std::vector<std::string> steps; // see Step
    const char16_t *said;           // every status, question and row, as Said gives them
};

void PrintTo(const TunesCase &c, std::ostream *os) {
    *os << c.name;
}

class TunesWindows : public ::testing::TestWithParam<TunesCase> {
protected:
    void SetUp() override {
        testing_support::App();
        m_system = qgetenv(tuner::kStateFolderVariable);
        qputenv(tuner::kStateFolderVariable, QFile::encodeName(m_state.path()));
        sim::Behaviour behaviour;
        behaviour.values.Accel = static_cast<float>(GetParam().held);
        m_controller.emplace(behaviour);
        QObject::connect(&m_model, &tuner::TunesModel::Changed, &m_model, [this](auto part) {
            if (part == tuner::TunesPart::Status)
                Say(QStringLiteral("status: ") + m_model.Status());
        });
        QObject::connect(&m_model, &tuner::TunesModel::WriteQuestionAsked, &m_model,
                         [this](const tuner::WriteQuestion &question) {
                             Say(QStringLiteral("ask: ") + question.heading);
                             for (const QString &line : question.changes + question.about)
                                 Say(QStringLiteral("  ") + line);
                             QTimer::singleShot(0, &m_model, [this] {
                                 // The window's close box instead of an answer.
                                 if (m_closing)
                                     Say(m_model.CloseRequested() ? QStringLiteral("closes")
                                                                  : QStringLiteral("stays"));
                                 else
                                     m_model.AnswerWrite(m_yes);
                             });
                         });
        QObject::connect(&m_model, &tuner::TunesModel::CloseNow, &m_model,
                         [this] { Say(QStringLiteral("closes now")); });
        m_model.SetPortText(QStringLiteral("1"));
    }
    void TearDown() override { qputenv(tuner::kStateFolderVariable, m_system); }

    void Say(const QString &line) { m_said += line + u'\n'; }

    // The controller takes what was written since it last looked, and answers.
    bool Answered() {
        for (; m_taken < m_port.written.size(); ++m_taken) {
            const sim::Controller::Result result =
                m_controller->Receive(m_port.written.at(m_taken).toLatin1());
            if (!result.reply.isEmpty())
                QTimer::singleShot(0, &m_model, [this, reply = QString::fromLatin1(result.reply)] {
                    m_port.Deliver(reply);
                });
        }
        return m_model.Task() == tuner::TunesTask::None;
    }

    void Step(const std::string &step) {
        const QStringList words = QString::fromStdString(step).split(u' ');
        const QString &verb = words.at(0);
        if (verb == u"point" || verb == u"file") { // a restore point or file with acceleration N
            tuner::TuningParameters tune = tuner::DefaultSettings();
            tune.Accel = words.at(1).toFloat();
            const qint16 port = static_cast<qint16>(words.value(2, QStringLiteral("1")).toInt());
            if (verb == u"file") // and the deceleration
                tune.Decel = words.value(2, QStringLiteral("100")).toFloat();
            if (verb == u"point") {
                ASSERT_EQ(tuner::KeepRestorePoint(tune, port, QDateTime::currentDateTimeUtc(),
                                                  QStringLiteral("by a test"))
                              .index(),
                          0u);
                return m_model.FollowFolder();
            }
            QFile file(m_state.filePath(QStringLiteral("street.json")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(tuner::TuneFileText(tune));
            file.close();
            return m_model.OpenTuneFile(file.fileName());
        }
        if (verb == u"save") // the selected tune as NAME, with a note
            return m_model.SaveAs(m_state.filePath(words.at(1)), words.mid(2).join(u' '));
        if (verb == u"open")
            return m_model.OpenTuneFile(m_state.filePath(words.at(1)));
        if (verb == u"select")
            return m_model.SelectTune(words.at(1).toInt());
        if (verb == u"uncheck")
            return m_model.SetRowChecked(words.at(1).toInt(), false);
        if (verb == u"port")
            return m_model.SetPortText(words.at(1));
        if (verb == u"fail-open")
            return m_port.FailNextOpen(QStringLiteral("busy"));
        m_yes = verb == u"write";
        m_closing = verb == u"close";
        if (verb == u"read")
            m_model.ReadController();
        else if (verb == u"backup")
            m_model.BackUp();
        else if (verb == u"check")
            m_model.CheckConnection();
        else
            m_model.WriteToController();
        ASSERT_TRUE(testing_support::RunUntil([this] { return Answered(); }));
    }

    // The rows where the tune and the controller differ, and how many are checked.
    QString Rows() const {
        QString rows;
        int checked = 0;
        for (const tuner::SettingRow &row : m_model.Rows()) {
            checked += row.checked ? 1 : 0;
            if (row.differs)
                rows += QStringLiteral("differs: %1 %2 %3 %4\n")
                            .arg(row.name, row.selected, row.controller,
                                 row.checked ? QStringLiteral("[x]") : QStringLiteral("[ ]"));
        }
        return rows + QStringLiteral("checked: %1\n").arg(checked);
    }

    // Before the model, whose timer needs the application.
    QCoreApplication &m_app = testing_support::App();
    QTemporaryDir m_state;
    QByteArray m_system;
    tuner::testing::MemoryPort m_port;
    std::optional<sim::Controller> m_controller;
    tuner::TunesModel m_model{m_port, {{}, [](qint16) { return QString(); }}};
    QString m_said;
    qsizetype m_taken = 0;
    bool m_yes = false;
    bool m_closing = false;
};

TEST_P(TunesWindows, SayAndSendWhatTheyShow) {
    // The folder is read away from the window's thread: each reading ends before a step.
    const auto settled = [this] { return Answered() && !m_model.ReadingFolder(); };
    m_model.Load(1);
    ASSERT_TRUE(testing_support::RunUntil(settled));
    m_said.clear();
    for (const std::string &step : GetParam().steps) {
        Step(step);
        ASSERT_TRUE(testing_support::RunUntil(settled));
    }
    for (const tuner::TuneEntry &entry : m_model.Tunes())
        Say(QStringLiteral("tune: ") + entry.text);
    QString said = m_said + Rows() +
                   QStringLiteral("controller: %1 %2\n")
                       .arg(m_controller->Values().Accel)
                       .arg(m_controller->Values().Decel);
    // The names and times of restore points are the clock's.
    said.replace(m_state.path(), QStringLiteral("$STATE"))
        .replace(QRegularExpression(QStringLiteral("\\d{8}T\\d{6}Z")), QStringLiteral("T"))
        .replace(
            QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d( UTC)?")),
            QStringLiteral("TIME"));
    EXPECT_EQ(said.toStdString(), QString::fromUtf16(GetParam().said).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Table, TunesWindows,
    ::testing::Values(
        TunesCase{"WritesAFileAfterAsking",
                  131,
                  {"file 77", "read", "write"},
                  u"status: Opened $STATE/street.json.\n"
                  u"status: Reading port 1…\n"
                  u"status: Read port 1: the Controller column shows what it holds.\n"
                  u"status: Reading port 1 before writing…\n"
                  u"status: Restore point 000001-T-port1 keeps what port 1 held.\n"
                  u"ask: Write these changes to port 1?\n"
                  u"  Acceleration % 131 → 77\n"
                  u"  Restore point 000001-T-port1 keeps what the controller held until now: "
                  u"writing it back undoes this write.\n"
                  u"status: Saved and verified on port 1.\n"
                  u"tune: 000001  TIME  port 1  taken before writing street.json\n"
                  u"tune: street.json\n"
                  u"checked: 0\n"
                  u"controller: 77 100\n"},
        TunesCase{"CancelSendsNothing",
                  131,
                  {"file 77", "read", "cancel"},
                  u"status: Opened $STATE/street.json.\n"
                  u"status: Reading port 1…\n"
                  u"status: Read port 1: the Controller column shows what it holds.\n"
                  u"status: Reading port 1 before writing…\n"
                  u"status: Restore point 000001-T-port1 keeps what port 1 held.\n"
                  u"ask: Write these changes to port 1?\n"
                  u"  Acceleration % 131 → 77\n"
                  u"  Restore point 000001-T-port1 keeps what the controller held until now: "
                  u"writing it back undoes this write.\n"
                  u"status: Cancelled: nothing was sent to port 1.\n"
                  u"tune: 000001  TIME  port 1  taken before writing street.json\n"
                  u"tune: street.json\n"
                  u"differs: Acceleration % 77 131 [x]\n"
                  u"checked: 1\n"
                  u"controller: 131 100\n"},
        TunesCase{"UncheckedRowStaysAsHeld",
                  131,
                  {"file 77 90", "read", "uncheck 0", "write"},
                  u"status: Opened $STATE/street.json.\n"
                  u"status: Reading port 1…\n"
                  u"status: Read port 1: the Controller column shows what it holds.\n"
                  u"status: Reading port 1 before writing…\n"
                  u"status: Restore point 000001-T-port1 keeps what port 1 held.\n"
                  u"ask: Write these changes to port 1?\n"
                  u"  Deceleration % 100 → 90\n"
                  u"  Restore point 000001-T-port1 keeps what the controller held until now: "
                  u"writing it back undoes this write.\n"
                  u"status: Saved and verified on port 1.\n"
                  u"tune: 000001  TIME  port 1  taken before writing street.json\n"
                  u"tune: street.json\n"
                  u"differs: Acceleration % 77 131 [x]\n"
                  u"checked: 1\n"
                  u"controller: 131 90\n"},
        TunesCase{"NoRowChecked",
                  131,
                  {"file 77", "read", "uncheck 0", "write"},
                  u"status: Opened $STATE/street.json.\n"
                  u"status: Reading port 1…\n"
                  u"status: Read port 1: the Controller column shows what it holds.\n"
                  u"status: No setting is checked: check the rows to write.\n"
                  u"tune: street.json\n"
                  u"differs: Acceleration % 77 131 [ ]\n"
                  u"checked: 0\n"
                  u"controller: 131 100\n"},
        TunesCase{"NothingToWrite",
                  131,
                  {"file 131", "read", "write"},
                  u"status: Opened $STATE/street.json.\n"
                  u"status: Reading port 1…\n"
                  u"status: Read port 1: the Controller column shows what it holds.\n"
                  u"status: The controller already holds this tune, as read last: nothing to "
                  u"write.\n"
                  u"tune: street.json\n"
                  u"checked: 0\n"
                  u"controller: 131 100\n"},
        TunesCase{"RestorePointOfAnotherPort",
                  100,
                  {"point 130 2", "select 0", "write"},
                  u"status: Reading port 1 before writing…\n"
                  u"status: Restore point 000002-T-port1 keeps what port 1 held.\n"
                  u"ask: Write these changes to port 1?\n"
                  u"  Acceleration % 100 → 130\n"
                  u"  Writing back the restore point 000001-T-port2, taken TIME from port 2.\n"
                  u"  It was taken from port 2, not from port 1, where it goes now.\n"
                  u"  Restore point 000002-T-port1 keeps what the controller held until now: "
                  u"writing it back undoes this write.\n"
                  u"status: Saved and verified on port 1.\n"
                  u"tune: 000002  TIME  port 1  taken before writing back restore point "
                  u"000001-T-port2\n"
                  u"tune: 000001  TIME  port 2  by a test\n"
                  u"checked: 0\n"
                  u"controller: 130 100\n"},
        TunesCase{"OutOfRangeRefused",
                  100,
                  {"point 250", "select 0", "write"},
                  u"status: The restore point 000001-T-port1 holds acceleration 250, outside 0 "
                  u"to 200; the controller takes no such value, so it cannot be written back.\n"
                  u"tune: 000001  TIME  port 1  by a test  (cannot be written: acceleration 250, "
                  u"outside 0 to 200)\n"
                  u"checked: 8\n"
                  u"controller: 100 100\n"},
        TunesCase{"BackUpKeepsAndWritesNothing",
                  120,
                  {"backup", "save kept.json before the track day", "open kept.json"},
                  u"status: Reading port 1 to back it up…\n"
                  u"status: Restore point 000001-T-port1 keeps what port 1 held; nothing was "
                  u"written.\n"
                  u"status: Saved $STATE/kept.json.\n"
                  u"status: Opened $STATE/kept.json.\n"
                  u"tune: 000001  TIME  port 1  kept by hand\n"
                  u"tune: kept.json  before the track day\n"
                  u"checked: 0\n"
                  u"controller: 120 100\n"},
        TunesCase{"ClosedWhileAsking",
                  131,
                  {"file 77", "read", "close"},
                  u"status: Opened $STATE/street.json.\n"
                  u"status: Reading port 1…\n"
                  u"status: Read port 1: the Controller column shows what it holds.\n"
                  u"status: Reading port 1 before writing…\n"
                  u"status: Restore point 000001-T-port1 keeps what port 1 held.\n"
                  u"ask: Write these changes to port 1?\n"
                  u"  Acceleration % 131 → 77\n"
                  u"  Restore point 000001-T-port1 keeps what the controller held until now: "
                  u"writing it back undoes this write.\n"
                  u"status: Cancelled: nothing was sent to port 1.\n"
                  u"closes\n"
                  u"tune: 000001  TIME  port 1  taken before writing street.json\n"
                  u"tune: street.json\n"
                  u"differs: Acceleration % 77 131 [x]\n"
                  u"checked: 1\n"
                  u"controller: 131 100\n"},
        TunesCase{"CheckFindsTheController",
                  100,
                  {"check"},
                  u"status: Checking port 1…\n"
                  u"status: Verdict: the controller answered with its settings: acceleration "
                  u"100, deceleration 100, turning 100, max_output 100, min_output 0, "
                  u"lfb_threshold 33, tps_reverse false, ebrake_cut_off false.\n"
                  u"checked: 0\n"
                  u"controller: 100 100\n"},
        TunesCase{"PortThatDoesNotOpen",
                  100,
                  {"port COM23", "read", "port 1", "fail-open", "read"},
                  u"status: Cannot open port \"COM23\": not a port number" TYPE_23 u".\n"
                  u"status: Reading port 1…\n"
                  u"status: Cannot open port 1: busy.\n"
                  u"checked: 0\n"
                  u"controller: 100 100\n"}),
    RowName());

} // namespace
