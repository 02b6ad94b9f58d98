#include "app/controller_connection.h"

#include "link/protocol.h"

#include <QEventLoop>
#include <QTimer>

namespace tuner {
namespace {

// A reason from the port as the end of a sentence, with exactly one full stop.
QString Sentence(QString reason) {
    reason = reason.trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    return (reason.isEmpty() ? QStringLiteral("unknown error") : reason) + u'.';
}

// Pieces of a report cut over two receive events are joined; older bytes are dropped.
constexpr qsizetype kPendingLimit = 1024;

} // namespace

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
    const QString device = m_devicePath ? m_devicePath(m_number) : QString();
    if (device.isEmpty())
        return QString::number(m_number);
    return QString::number(m_number) + QStringLiteral(" (") + device + u')';
}

std::optional<CtlFailure> ControllerConnection::Open(qint16 port) {
    m_number = port;
    m_port.SetCommPort(port);
    m_port.SetSettings(kLineSettings);
    m_port.SetInputLen(0);
    m_port.SetRThreshold(kReceiveThreshold);
    if (!m_port.SetPortOpen(true))
        return CtlFailure{kExitCannotOpen, QStringLiteral("Cannot open port ") + PortName() +
                                               QStringLiteral(": ") + Sentence(m_port.LastError())};
    return std::nullopt;
}

std::optional<CtlFailure> ControllerConnection::Save(const QString &record) {
    if (!m_port.Output(record))
        return CtlFailure{kExitLineLost,
                          QStringLiteral("Save failed: ") + Sentence(m_port.LastError())};
    return std::nullopt;
}

std::variant<TuningParameters, CtlFailure> ControllerConnection::Read() {
    std::variant<TuningParameters, CtlFailure> result =
        CtlFailure{kExitNoAnswer, QStringLiteral("No answer from port %1 within %2 s.")
                                      .arg(PortName())
                                      .arg(static_cast<double>(m_timeout.count()) / 1000.0)};
    QEventLoop loop;
    QString pending;
    QObject::connect(&m_port, &SerialPortService::OnComm, &loop, [&] {
        if (m_port.CommEvent() != comEvReceive)
            return;
        const QString piece = m_port.Input();
        std::optional<TuningParameters> report = ParseReport(piece);
        if (!report && !pending.isEmpty())
            report = ParseReport(pending + piece);
        if (report) {
            result = *report;
            loop.quit();
            return;
        }
        pending = (pending + piece).right(kPendingLimit);
    });
    QObject::connect(&m_port, &SerialPortService::LineLost, &loop, [&] {
        result = CtlFailure{kExitLineLost,
                            QStringLiteral("Connection lost: ") + Sentence(m_port.LastError())};
        loop.quit();
    });
    QTimer notice;
    notice.setSingleShot(true);
    QObject::connect(&notice, &QTimer::timeout, &loop, [this] {
        if (m_notice)
            m_notice(QStringLiteral("Waiting for DCCD to respond... check your com port!"));
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    if (!m_port.Output(ReadRequest()))
        return CtlFailure{kExitLineLost,
                          QStringLiteral("Read request failed: ") + Sentence(m_port.LastError())};
    if (m_timeout > kNoticeAfter)
        notice.start(kNoticeAfter);
    deadline.start(m_timeout);
    loop.exec();
    return result;
}

void ControllerConnection::Close() {
    m_port.SetPortOpen(false);
}

} // namespace tuner
