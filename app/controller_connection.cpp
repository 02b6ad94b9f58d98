#include "app/controller_connection.h"

#include "link/port_messages.h"
#include "link/protocol.h"

#include <QEventLoop>
#include <QTimer>

namespace tuner {
namespace {

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
    return PortWithDevice(m_number, m_devicePath ? m_devicePath(m_number) : QString());
}

std::optional<CtlFailure> ControllerConnection::Open(qint16 port) {
    m_number = port;
    if (!OpenControllerPort(m_port, port))
        return CtlFailure{kExitCannotOpen, CannotOpenMessage(PortName(), m_port.LastError())};
    return std::nullopt;
}

std::optional<CtlFailure> ControllerConnection::Save(const QString &record) {
    if (!m_port.Output(record))
        return CtlFailure{kExitLineLost, SaveFailedMessage(m_port.LastError())};
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
        result = CtlFailure{kExitLineLost, ConnectionLostMessage(m_port.LastError())};
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
        return CtlFailure{kExitLineLost, ReadRequestFailedMessage(m_port.LastError())};
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
