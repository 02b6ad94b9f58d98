#include "link/serial/port_service_linux.h"

#include "link/ports/port_table.h"
#include "link/serial/failure_reasons.h"
#include "link/serial/line_settings.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSerialPort>

#include <algorithm>

// Modem-control lines: this file never calls setDataTerminalReady, setRequestToSend or
// setBreakEnabled, and QSerialPort's open and close on Linux issue no TIOCMSET, TIOCMBIS or
// TIOCMBIC either (checked with strace on Qt 6.4: the open does TIOCEXCL, TCGETS, TCSETS,
// TCSETS2 and TIOCGSERIAL; the close restores the old termios and does TIOCNXCL). The kernel
// itself raises DTR and RTS when a tty is first opened and drops them on its last close when
// HUPCL is set; that is the operating system's doing, the same for every program, and the
// service leaves HUPCL as it finds it.

namespace tuner {
namespace {

// Every QSerialPort error becomes a reason here, whether it came while opening or while open.
QString ErrorReason(QSerialPort::SerialPortError error, const QString &systemText, bool opening) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return (opening ? kNoSuchPort : kRemoved).toString();
    case QSerialPort::PermissionError:
        // Our own open already proved the permissions: what is left is a lock or TIOCEXCL.
        return kInUse.toString();
    case QSerialPort::UnsupportedOperationError:
        return kSettingsNotSupported.toString();
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // A tty that cannot be read has hung up or gone: the system's text at that point is
        // stale (Qt's next ioctl overwrites errno) and would only confuse the user.
        return (opening ? kNoResponse : kStoppedWorking).toString();
    case QSerialPort::WriteError:
        return WriteFailed(systemText);
    case QSerialPort::NotOpenError:
        return kNotOpen.toString();
    default:
        return opening ? systemText : DeviceFailed(systemText);
    }
}

QSerialPort::Parity ToQt(LineSettings::Parity parity) {
    switch (parity) {
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

} // namespace

QtSerialPortService::QtSerialPortService(const comfunct::PortTable &ports, QObject *parent)
    : DevicePortService(ports, parent) {}

QtSerialPortService::~QtSerialPortService() {
    Close();
}

bool QtSerialPortService::PortOpen() const {
    return m_port != nullptr;
}

bool QtSerialPortService::OpenDevice(const QString &device, const LineSettings &line) {
    // The device taken for us first: that tells apart a missing device, a permission problem
    // and a port held by another program, and keeps the port ours while it is open.
    auto taken = DeviceLock::Take(device);
    if (const QString *reason = std::get_if<QString>(&taken)) {
        m_lastError = *reason;
        return false;
    }

    auto *port = new QSerialPort(this);
    port->setPortName(device);
    port->setBaudRate(line.baud);
    port->setParity(ToQt(line.parity));
    port->setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits));
    // Linux has no 1.5 stop bits of its own: with 5 data bits the UART sends 1.5 for "two".
    port->setStopBits(line.stopBits == LineSettings::StopBits::One ? QSerialPort::OneStop
                                                                   : QSerialPort::TwoStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setReadBufferSize(kInputBufferSize);

    m_opening = true;
    const bool opened = port->open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened) {
        m_lastError = ErrorReason(port->error(), port->errorString(), true);
        delete port;
        return false;
    }
    port->clearError(); // a refused TIOCEXCL leaves an error on an open port
    // Only an answer to what is written from now on may be read: bytes that came while the
    // port was closed (a late answer, a controller's start-up chatter) are dropped, both
    // those still in the kernel's queue and any Qt has taken already.
    DiscardWaitingInput(port->handle());
    port->clear(QSerialPort::Input);
    m_port = port;
    m_lock.emplace(std::move(std::get<DeviceLock>(taken)));
    connect(port, &QSerialPort::readyRead, &m_delivery, &RecordDelivery::Arrived);
    connect(port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { OnPortError(error); });
    return true;
}

qint64 QtSerialPortService::Available() const {
    return m_port != nullptr ? m_port->bytesAvailable() : 0;
}

QByteArray QtSerialPortService::Peek(qint64 n) const {
    return m_port != nullptr ? m_port->peek(n) : QByteArray();
}

bool QtSerialPortService::SystemHoldsMore() const {
    return m_port != nullptr && UnreadBytes(m_port->handle()) > 0;
}

QByteArray QtSerialPortService::Read(qint64 n) {
    return m_port->read(n);
}

bool QtSerialPortService::Write(const QByteArray &bytes) {
    // A failing write may report the lost line at once, detaching m_port (the object itself
    // is deleted later), so the error is read from the port the bytes went to.
    QSerialPort *port = m_port;
    if (port->write(bytes) != bytes.size()) {
        if (m_port != nullptr)
            m_lastError = ErrorReason(port->error(), port->errorString(), false);
        return false;
    }
    return m_port != nullptr;
}

bool QtSerialPortService::DrainOutput() {
    const QDeadlineTimer deadline(kDrainBound);
    // First the bytes QSerialPort still holds, then what waits in the kernel's queue.
    while (m_port->bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_port->waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            break;
    }
    // What Qt could not hand to the kernel in time is lost with the close.
    const bool handedOver = m_port->bytesToWrite() == 0;
    return DrainQueuedOutput(m_port->handle(), deadline) && handedOver;
}

void QtSerialPortService::Release() {
    m_port->disconnect(this);
    m_port->close();
    delete m_port;
    m_port = nullptr;
    m_lock.reset();
}

void QtSerialPortService::OnPortError(int error) {
    const auto kind = static_cast<QSerialPort::SerialPortError>(error);
    if (m_opening || m_closing || m_port == nullptr || kind == QSerialPort::NoError ||
        kind == QSerialPort::TimeoutError)
        return;

    // The port failed under us. It cannot be closed inside its own signal, so it is detached
    // now (PortOpen is false from here on) and closed and reported from the event loop.
    m_lastError = ErrorReason(kind, m_port->errorString(), false);
    // What Qt still held, or the system still queued, dies with the line.
    m_outputDropped =
        m_port->bytesToWrite() > 0 || !DrainQueuedOutput(m_port->handle(), QDeadlineTimer(0));
    m_delivery.Stop();
    QPointer<QSerialPort> dead = m_port;
    m_port = nullptr;
    dead->disconnect(this);
    m_lock.reset();
    QMetaObject::invokeMethod(
        this,
        [this, dead] {
            delete dead.data();
            Q_EMIT LineLost();
        },
        Qt::QueuedConnection);
}

std::unique_ptr<SerialPortService> MakePortService(const comfunct::PortTable &ports,
                                                   QObject *parent) {
    return std::make_unique<QtSerialPortService>(ports, parent);
}

} // namespace tuner
