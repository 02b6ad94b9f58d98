#include "tunes/exchange/connection_check.h"

#include "link/exchange/port_messages.h"
#include "link/protocol/records.h"
#include "link/serial/failure_reasons.h"
#include "link/serial/line_settings.h"
#include "link/text/shown_text.h"
#include "tunes/files/tune_file.h"

#include <QSysInfo>

#include <algorithm>

namespace tuner {
namespace {

// As the window reads a report: pieces joined, of an overlong record the end kept.
constexpr qsizetype kRecordLimit = 1024;
// Every piece is delivered as it comes, however short: the check shows each one.
constexpr qint16 kEveryPiece = 1;

// What to do when the port does not open, by the reason the port service gave.
QString OpenAdvice(const QString &reason) {
    if (reason == kNoSuchPort)
        return QStringLiteral("Nothing is there at this number: plug the adapter in, or pick a "
                              "port that exists (the port list shows them).");
    if (reason == kNotSerial)
        return QStringLiteral("This is not a serial device: pick the port of the adapter.");
    if (reason == kInUse)
        return QStringLiteral("Another program holds the port (a terminal program, ModemManager, "
                              "another window of this program): close it and check again.");
    if (const QString group = GroupToJoin(reason); !group.isEmpty())
        return QStringLiteral("Join group %1 (sudo usermod -aG %1 \"$USER\"), then log out and "
                              "in again.")
            .arg(EscapedText(group));
    if (reason == kOnlyRoot)
        return QStringLiteral("The device is root's alone: a udev rule that gives it to group "
                              "dialout (MODE=\"0660\", GROUP=\"dialout\") lets that group in.");
    return QStringLiteral("Unplug the adapter, plug it in again and check again.");
}

bool IsReadRequest(QStringView record) {
    return record.trimmed() == QStringView(ReadRequest()).chopped(1);
}

// "acceleration 120, …, ebrake_cut_off false": a tune as its file names the settings.
QString ValuesText(const TuningParameters &tune) {
    QStringList values;
    for (const PercentField &percent : kPercents)
        values.append(percent.fileKey.toString() + u' ' + WholeText(tune.*percent.value));
    for (const SwitchField &flag : kSwitches) {
        if (IsSetting(flag))
            values.append(flag.fileKey.toString() + u' ' +
                          (tune.*flag.value ? QStringLiteral("true") : QStringLiteral("false")));
    }
    return values.join(QStringLiteral(", "));
}

QString Known(const QString &value) {
    return value.isEmpty() ? QStringLiteral("not known to the system") : EscapedText(value);
}

QString Seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0);
}

QString PortLines(const comfunct::PortInfo &port) {
    QString lines = QStringLiteral("Port %1: ").arg(port.number);
    if (port.device.isEmpty())
        return lines + QStringLiteral("no device has this number\n");
    // What the system knows of a device that is not there is nothing.
    lines += EscapedText(port.device);
    if (!port.exists)
        return lines + QStringLiteral(" (not there, or not a serial device)\n");
    return lines + QStringLiteral("\nDescription: ") + Known(port.description) +
           QStringLiteral("\nMaker: ") + Known(port.manufacturer) +
           QStringLiteral("\nSerial number: ") + Known(port.serialNumber) + u'\n';
}

QString ExchangeLines(const ConnectionReport &report) {
    QString lines = QStringLiteral("Sent: ") + PrintableText(report.sent) + u'\n' +
                    QStringLiteral("Came back within %1 s:").arg(Seconds(report.timeout));
    if (report.received.isEmpty())
        return lines + QStringLiteral(" nothing\n");
    lines += u'\n';
    for (const ReceivedChunk &chunk : report.received)
        lines +=
            QStringLiteral("  at %1 ms: %2\n").arg(chunk.afterMs).arg(PrintableText(chunk.text));
    if (report.notShown > 0)
        lines += QStringLiteral("  and %1 characters more\n").arg(report.notShown);
    return lines;
}

} // namespace

QString ConnectionReport::VerdictLine() const {
    QString verdictText;
    switch (verdict) {
    case CheckVerdict::Report:
        verdictText = QStringLiteral("the controller answered with its settings: ") +
                      ValuesText(TuneOf(*values)) + u'.';
        if (const QString outside = OutOfRange(TuneOf(*values)); !outside.isEmpty())
            verdictText +=
                QStringLiteral(" It holds %1: a restore point of it cannot be written back.")
                    .arg(outside);
        break;
    case CheckVerdict::CannotOpen:
        verdictText = QStringLiteral("the port does not open, so nothing was sent.");
        break;
    case CheckVerdict::NothingAnswered:
        verdictText = QStringLiteral("nothing answered: the wrong port, the controller off, or "
                                     "the wrong cable.");
        break;
    case CheckVerdict::NotAReport:
        verdictText = QStringLiteral("something answered, but not with a settings report: "
                                     "another device, or not at %1 baud.")
                          .arg(kLineSettings.baud);
        break;
    case CheckVerdict::OwnRequestBack:
        verdictText =
            QStringLiteral("only our own read request came back: the line loops back "
                           "(a loop-back plug, or TX joined to RX) or the adapter echoes, "
                           "and the controller did not answer.");
        break;
    case CheckVerdict::LineLost:
        verdictText = QStringLiteral("the line went away while waiting (%1): check the adapter "
                                     "and its cable.")
                          .arg(lost);
        break;
    }
    return QStringLiteral("Verdict: ") + verdictText;
}

QString ConnectionReport::Text() const {
    QString text = PortLines(port);
    if (!opened)
        return text + QStringLiteral("Opens: no. ") + openProblem + u'\n' +
               QStringLiteral("What to do: ") + openAdvice + u'\n' + VerdictLine() + u'\n';
    text += QStringLiteral("Opens: yes, at %1\n").arg(LineSettingsText(kLineSettings));
    text += ExchangeLines(*this);
    if (echoed && verdict != CheckVerdict::OwnRequestBack)
        text += QStringLiteral("Our own read request came back too: the adapter or the line "
                               "echoes what is sent.\n");
    return text + VerdictLine() + u'\n';
}

QString ProgramAndSystem(const QString &program, const QString &version) {
    return QStringLiteral("%1 %2 on %3, %4 %5, %6")
        .arg(program, version, QSysInfo::prettyProductName(), QSysInfo::kernelType(),
             QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture());
}

ConnectionCheck::ConnectionCheck(SerialPortService &port,
                                 std::function<comfunct::PortInfo(qint16)> describe,
                                 std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_port(port), m_describe(std::move(describe)), m_timeout(timeout),
      m_records(kRecordLimit, Overlong::KeepTail) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &ConnectionCheck::Expire);
    connect(&m_port, &SerialPortService::OnComm, this, &ConnectionCheck::Receive);
    connect(&m_port, &SerialPortService::LineLost, this, [this] {
        if (!m_active || m_stage != CheckStage::Listening)
            return;
        m_report.lost = ReasonSentence(m_port.LastError()).chopped(1);
        Finish(CheckVerdict::LineLost);
    });
}

ConnectionCheck::~ConnectionCheck() {
    Cancel();
}

void ConnectionCheck::Start(qint16 port) {
    m_active = true;
    m_report = ConnectionReport{};
    m_report.timeout = m_timeout;
    m_other = false;
    m_shown = 0;
    m_records = RecordAssembler(kRecordLimit, Overlong::KeepTail);
    // Every stage and the end are told from the event loop, never inside Start.
    QTimer::singleShot(0, this, [this, port] {
        if (m_active)
            Run(port);
    });
}

void ConnectionCheck::Cancel() {
    if (m_active)
        Stop();
}

void ConnectionCheck::Enter(CheckStage stage) {
    m_stage = stage;
    Q_EMIT StageEntered(stage);
}

void ConnectionCheck::Run(qint16 port) {
    Enter(CheckStage::Describing);
    if (!m_active)
        return;
    m_report.port = m_describe(port);
    m_report.port.number = port;
    Enter(CheckStage::Opening);
    if (!m_active)
        return;
    if (!OpenControllerPort(m_port, port, kEveryPiece)) {
        m_report.openProblem =
            CannotOpenMessage(PortWithDevice(port, m_report.port.device), m_port.LastError());
        m_report.openAdvice = OpenAdvice(m_port.LastError());
        Finish(CheckVerdict::CannotOpen);
        return;
    }
    m_report.opened = true;
    m_report.sent = ReadRequest();
    m_sentAt.start();
    m_deadline.start(m_timeout);
    // Listening begins once the request is out, so what a front does on entering it counts.
    if (!m_port.Output(m_report.sent)) {
        m_stage = CheckStage::Listening;
        m_report.lost = ReasonSentence(m_port.LastError()).chopped(1);
        Finish(CheckVerdict::LineLost);
        return;
    }
    Enter(CheckStage::Listening);
}

void ConnectionCheck::Receive() {
    if (m_active && m_stage == CheckStage::Listening && m_port.CommEvent() == comEvReceive)
        Take(m_port.Input());
}

// Each piece is kept with its time; the check ends at the first report among what came.
void ConnectionCheck::Take(const QString &piece) {
    if (piece.isEmpty())
        return;
    const qsizetype room = ConnectionReport::kShownCharacters - m_shown;
    if (room > 0) {
        m_report.received.append(ReceivedChunk{m_sentAt.elapsed(), piece.left(room)});
        m_shown += m_report.received.constLast().text.size();
    }
    m_report.notShown += piece.size() - std::min(piece.size(), std::max<qsizetype>(room, 0));
    const QStringList ended = m_records.Add(piece).records;
    QList<QStringView> candidates(ended.cbegin(), ended.cend());
    candidates.append(m_records.Unfinished());
    for (const QStringView record : std::as_const(candidates)) {
        if (IsReadRequest(record))
            m_report.echoed = true;
        else if (!record.trimmed().isEmpty())
            m_other = true;
    }
    if (std::optional<TuningParameters> report =
            LastReport(candidates, OwnSaveTest(OwnSaves::EveryTaggedS))) {
        m_report.values = *report;
        Finish(CheckVerdict::Report);
    }
}

// What waited below the port's threshold counts too; then the verdict from all that came.
void ConnectionCheck::Expire() {
    if (!m_active)
        return;
    if (m_port.PortOpen())
        Take(m_port.Input());
    if (!m_active)
        return;
    if (m_other)
        Finish(CheckVerdict::NotAReport);
    else if (m_report.echoed)
        Finish(CheckVerdict::OwnRequestBack);
    else
        Finish(CheckVerdict::NothingAnswered);
}

void ConnectionCheck::Finish(CheckVerdict verdict) {
    m_report.verdict = verdict;
    Stop();
    Q_EMIT Finished(m_report);
}

// Only a port the check opened is closed: before that, it may be another's.
void ConnectionCheck::Stop() {
    m_active = false;
    m_deadline.stop();
    if (m_report.opened && m_port.PortOpen())
        m_port.SetPortOpen(false);
}

} // namespace tuner
