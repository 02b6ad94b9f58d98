#include "link/exchange/controller_connection.h"

#include "link/exchange/port_messages.h"
#include "link/protocol/records.h"
#include "link/serial/line_settings.h"

namespace tuner {
namespace {

// Pieces of a report cut over two receive events are joined; of a record that grows longer
// than this without its end, the last this many characters are kept.
constexpr qsizetype kRecordLimit = 1024;
// What arrived is quoted from its start when none of it was a report.
constexpr qsizetype kQuotedLimit = 64;

} // namespace

bool OpenControllerPort(SerialPortService &port, qint16 number, qint16 threshold) {
    port.SetCommPort(number);
    port.SetSettings(LineSettingsText(kLineSettings));
    port.SetInputLen(0);
    port.SetRThreshold(threshold);
    return port.SetPortOpen(true);
}

ControllerConnection::ControllerConnection(SerialPortService &port,
                                           std::function<QString(qint16)> devicePath,
                                           std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_port(port), m_devicePath(std::move(devicePath)), m_timeout(timeout),
      m_records(kRecordLimit, Overlong::KeepTail) {
    m_notice.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_notice, &QTimer::timeout, this, [this] { Q_EMIT Waiting(WaitingMessage()); });
    connect(&m_deadline, &QTimer::timeout, this, &ControllerConnection::Expire);
    connect(&m_port, &SerialPortService::OnComm, this, &ControllerConnection::Receive);
    connect(&m_port, &SerialPortService::LineLost, this, [this] {
        const ExchangeProblem lost{ExchangeFailure::LineLost,
                                   ConnectionLostMessage(m_port.LastError())};
        if (m_reading)
            End(lost);
        else
            Q_EMIT Lost(lost);
    });
}

ControllerConnection::~ControllerConnection() {
    CancelRead();
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

void ControllerConnection::StartRead() {
    CancelRead();
    m_records = RecordAssembler(kRecordLimit, Overlong::KeepTail);
    m_received.clear();
    m_reading = true;
    if (!m_port.Output(ReadRequest())) {
        // Told from the event loop, as every other end of a read is.
        const ExchangeProblem failed{ExchangeFailure::LineLost,
                                     ReadRequestFailedMessage(m_port.LastError())};
        QTimer::singleShot(0, this, [this, failed, read = m_readNumber] {
            if (read == m_readNumber)
                End(failed);
        });
        return;
    }
    if (m_timeout > kNoticeAfter)
        m_notice.start(kNoticeAfter);
    m_deadline.start(m_timeout);
}

void ControllerConnection::CancelRead() {
    m_reading = false;
    ++m_readNumber; // an end still queued for it is not told
    m_notice.stop();
    m_deadline.stop();
}

void ControllerConnection::Receive() {
    if (!m_reading || m_port.CommEvent() != comEvReceive)
        return;
    const QString piece = m_port.Input();
    if (m_received.size() < kQuotedLimit)
        m_received += piece.left(kQuotedLimit - m_received.size());
    // The last report among the records that ended, else the record still coming if it already
    // reads as one (a report without its CR); never our own save coming back.
    const QStringList ended = m_records.Add(piece).records;
    QList<QStringView> candidates(ended.cbegin(), ended.cend());
    candidates.append(m_records.Unfinished());
    if (std::optional<TuningParameters> report =
            LastReport(candidates, OwnSaveTest(OwnSaves::EveryTaggedS)))
        End(*report);
}

void ControllerConnection::Expire() {
    if (!m_reading)
        return;
    // An answer too short to be delivered still tells that something answered.
    if (m_port.PortOpen() && m_received.isEmpty())
        m_received = m_port.Input().left(kQuotedLimit);
    if (!m_received.isEmpty()) {
        End(ExchangeProblem{ExchangeFailure::NoReport, NotAReportMessage(PortName(), m_received)});
        return;
    }
    End(ExchangeProblem{ExchangeFailure::NoReport,
                        QStringLiteral("No answer from port %1 within %2 s.")
                            .arg(PortName())
                            .arg(static_cast<double>(m_timeout.count()) / 1000.0)});
}

void ControllerConnection::End(ReadOutcome outcome) {
    if (!m_reading)
        return;
    CancelRead();
    Q_EMIT ReadEnded(outcome);
}

bool ControllerConnection::Close() {
    if (!m_port.PortOpen())
        return true;
    m_port.SetPortOpen(false);
    return !m_port.OutputDropped();
}

} // namespace tuner
