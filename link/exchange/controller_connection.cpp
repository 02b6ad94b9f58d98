#include "link/exchange/controller_connection.h"

#include "link/exchange/port_messages.h"
#include "link/protocol/record_assembler.h"
#include "link/protocol/records.h"
#include "link/serial/line_settings.h"

#include <QEventLoop>
#include <QTimer>

namespace tuner {
namespace {

// Pieces of a report cut over two receive events are joined; of a record that grows longer
// than this without its end, the last this many characters are kept.
constexpr qsizetype kRecordLimit = 1024;
// What arrived is quoted from its start when none of it was a report.
constexpr qsizetype kQuotedLimit = 64;

} // namespace

bool OpenControllerPort(SerialPortService &port, qint16 number) {
    port.SetCommPort(number);
    port.SetSettings(LineSettingsText(kLineSettings));
    port.SetInputLen(0);
    port.SetRThreshold(kReceiveThreshold);
    return port.SetPortOpen(true);
}

ControllerConnection::ControllerConnection(SerialPortService &port,
                                           std::function<QString(qint16)> devicePath,
                                           std::chrono::milliseconds timeout,
                                           std::function<void(const QString &)> notice)
    : m_port(port), m_devicePath(std::move(devicePath)), m_timeout(timeout),
      m_notice(std::move(notice)) {}

ControllerConnection::~ControllerConnection() {
    Close();
}

QString ControllerConnection::PortName() const {
    return PortWithDevice(m_number, m_devicePath);
}

std::optional<ExchangeProblem> ControllerConnection::Open(qint16 port) {
    m_number = port;
    if (!OpenControllerPort(m_port, port))
        return ExchangeProblem{ExchangeFailure::CannotOpen,
                               CannotOpenMessage(PortName(), m_port.LastError())};
    return std::nullopt;
}

std::optional<ExchangeProblem> ControllerConnection::Save(const QString &record) {
    if (!m_port.Output(record))
        return ExchangeProblem{ExchangeFailure::LineLost, SaveFailedMessage(m_port.LastError())};
    return std::nullopt;
}

std::variant<TuningParameters, ExchangeProblem> ControllerConnection::Read() {
    std::variant<TuningParameters, ExchangeProblem> result = ExchangeProblem{
        ExchangeFailure::NoReport, QStringLiteral("No answer from port %1 within %2 s.")
                                       .arg(PortName())
                                       .arg(static_cast<double>(m_timeout.count()) / 1000.0)};
    QEventLoop loop;
    RecordAssembler records(kRecordLimit, Overlong::KeepTail);
    QString received; // the start of what arrived, for the message when none of it is a report
    QObject::connect(&m_port, &SerialPortService::OnComm, &loop, [&] {
        if (m_port.CommEvent() != comEvReceive)
            return;
        const QString piece = m_port.Input();
        if (received.size() < kQuotedLimit)
            received += piece.left(kQuotedLimit - received.size());
        // The last report among the records that ended, else the record still coming if it
        // already reads as one (a report without its CR); never our own save coming back.
        const QStringList ended = records.Add(piece).records;
        QList<QStringView> candidates(ended.cbegin(), ended.cend());
        candidates.append(records.Unfinished());
        if (std::optional<TuningParameters> report =
                LastReport(candidates, OwnSaveTest(OwnSaves::EveryTaggedS))) {
            result = *report;
            loop.quit();
        }
    });
    QObject::connect(&m_port, &SerialPortService::LineLost, &loop, [&] {
        result =
            ExchangeProblem{ExchangeFailure::LineLost, ConnectionLostMessage(m_port.LastError())};
        loop.quit();
    });
    QTimer notice;
    notice.setSingleShot(true);
    QObject::connect(&notice, &QTimer::timeout, &loop, [this] {
        if (m_notice)
            m_notice(WaitingMessage());
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    if (!m_port.Output(ReadRequest()))
        return ExchangeProblem{ExchangeFailure::LineLost,
                               ReadRequestFailedMessage(m_port.LastError())};
    if (m_timeout > kNoticeAfter)
        notice.start(kNoticeAfter);
    deadline.start(m_timeout);
    loop.exec();
    // An answer too short to be delivered still tells that something answered.
    if (std::holds_alternative<ExchangeProblem>(result) && m_port.PortOpen() && received.isEmpty())
        received = m_port.Input().left(kQuotedLimit);
    if (!received.isEmpty() && std::holds_alternative<ExchangeProblem>(result) &&
        std::get<ExchangeProblem>(result).kind == ExchangeFailure::NoReport)
        std::get<ExchangeProblem>(result).message = NotAReportMessage(PortName(), received);
    return result;
}

bool ControllerConnection::Close() {
    if (!m_port.PortOpen())
        return true;
    m_port.SetPortOpen(false);
    return !m_port.OutputDropped();
}

} // namespace tuner
