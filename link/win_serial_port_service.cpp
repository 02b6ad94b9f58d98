#include "link/win_serial_port_service.h"

#include "link/line_settings.h"
#include "link/port_table.h"
#include "link/serial_device.h"
#include "link/win_comm.h"

#include <QDeadlineTimer>
#include <QWinEventNotifier>

#include <algorithm>

// Modem-control lines: the port's DCB is read from the system and only its framing and flow
// control are changed (see win::ApplyLineSettings); EscapeCommFunction is never called. Windows
// itself raises DTR and RTS when a port is opened, the same for every program.

namespace tuner {
namespace {

const QString kNotOpen = QStringLiteral("the port is not open");

const wchar_t *Wide(const QString &text) {
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

// A manual-reset event for one kind of overlapped operation.
HANDLE NewEvent() {
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

// The open port: its handle, and one overlapped operation of each kind with the event that
// tells it is done.
struct WinSerialPortService::Io {
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED wait{};
    DWORD waitMask = 0;
    bool waiting = false;
    OVERLAPPED write{};
    QByteArray writing; // the bytes of the write under way, kept until it is done
    bool writeUnderWay = false;
    OVERLAPPED read{};
    // Children of the service, deleted later: the port may be lost inside their own signal.
    QWinEventNotifier *waitNotifier = nullptr;
    QWinEventNotifier *writeNotifier = nullptr;

    ~Io() {
        for (QWinEventNotifier *notifier : {waitNotifier, writeNotifier}) {
            if (notifier != nullptr) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
        for (HANDLE event : {wait.hEvent, write.hEvent, read.hEvent})
            if (event != nullptr)
                CloseHandle(event);
        if (port != INVALID_HANDLE_VALUE)
            CloseHandle(port);
    }
};

WinSerialPortService::WinSerialPortService(const comfunct::PortTable &ports, QObject *parent)
    : SerialPortService(parent), m_ports(ports),
      m_delivery({[this] { return static_cast<qint64>(m_input.size()); },
                  [this](qint64 n) { return m_input.left(n); },
                  [this] {
                      COMSTAT status{};
                      DWORD errors = 0;
                      return m_io != nullptr && ClearCommError(m_io->port, &errors, &status) &&
                             status.cbInQue > 0;
                  }}) {
    connect(&m_delivery, &RecordDelivery::Due, this, [this] {
        if (m_io == nullptr)
            return;
        m_commEvent = comEvReceive;
        Q_EMIT OnComm();
    });
}

WinSerialPortService::~WinSerialPortService() {
    Close();
}

bool WinSerialPortService::SetPortOpen(bool open) {
    if (open == PortOpen())
        return true;
    if (!open) {
        Close();
        return true;
    }
    return Open();
}

bool WinSerialPortService::Open() {
    m_lastError.clear();
    m_outputDropped = false;
    m_commEvent = 0;
    m_device = m_ports.DevicePath(m_commPort);
    if (m_device.isEmpty()) {
        m_lastError = kNoSuchPort.toString();
        return false;
    }
    const auto parsed = ParseLineSettings(m_settings);
    if (const QString *reason = std::get_if<QString>(&parsed)) {
        m_lastError = *reason;
        return false;
    }
    const LineSettings line = std::get<LineSettings>(parsed);

    // A folder cannot be opened as a file at all; the system would say "access denied".
    const QString path = win::OpenPath(m_device);
    if (const DWORD attributes = GetFileAttributesW(Wide(path));
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        m_lastError = kNotSerial.toString();
        return false;
    }
    // No sharing: while the port is open no other program can open it, which is the lock.
    auto io = std::make_unique<Io>();
    io->port = CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (io->port == INVALID_HANDLE_VALUE) {
        m_lastError = win::OpenFailure(GetLastError());
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (GetFileType(io->port) != FILE_TYPE_CHAR || !GetCommState(io->port, &dcb)) {
        m_lastError = kNotSerial.toString();
        return false;
    }
    win::ApplyLineSettings(line, dcb);
    if (!SetCommState(io->port, &dcb)) {
        m_lastError = QStringLiteral("line settings not supported");
        return false;
    }
    // A read returns at once with what the system holds; writes have no time limit (closing
    // bounds the wait for them).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    io->wait.hEvent = NewEvent();
    io->write.hEvent = NewEvent();
    io->read.hEvent = NewEvent();
    if (!SetCommTimeouts(io->port, &timeouts) || !SetCommMask(io->port, EV_RXCHAR) ||
        io->wait.hEvent == nullptr || io->write.hEvent == nullptr || io->read.hEvent == nullptr) {
        m_lastError = win::OpenFailure(GetLastError());
        return false;
    }
    // Only an answer to what is written from now on may be read: bytes that came while the
    // port was closed (a late answer, a controller's start-up chatter) are dropped.
    PurgeComm(io->port, PURGE_RXABORT | PURGE_RXCLEAR);

    io->waitNotifier = new QWinEventNotifier(io->wait.hEvent, this);
    io->writeNotifier = new QWinEventNotifier(io->write.hEvent, this);
    connect(io->waitNotifier, &QWinEventNotifier::activated, this, &WinSerialPortService::WaitDone);
    connect(io->writeNotifier, &QWinEventNotifier::activated, this,
            &WinSerialPortService::WriteDone);
    m_io = std::move(io);
    m_input.clear();
    m_outgoing.clear();
    m_delivery.SetThreshold(m_threshold);
    m_delivery.Start();
    return Receive();
}

void WinSerialPortService::Close() {
    m_delivery.Stop();
    if (m_io == nullptr)
        return;
    m_lastError.clear();
    m_closing = true;
    m_outputDropped = !DrainOutput();
    if (m_outputDropped)
        m_lastError = QStringLiteral("queued output was dropped");
    m_closing = false;
    Release();
}

void WinSerialPortService::Release() {
    if (m_io == nullptr)
        return;
    Io &io = *m_io;
    io.waitNotifier->setEnabled(false);
    io.writeNotifier->setEnabled(false);
    // A pending WaitCommEvent ends when the mask changes; every overlapped operation must be
    // over before its OVERLAPPED goes.
    SetCommMask(io.port, 0);
    CancelIoEx(io.port, nullptr);
    DWORD done = 0;
    if (io.waiting)
        GetOverlappedResult(io.port, &io.wait, &done, TRUE);
    if (io.writeUnderWay)
        GetOverlappedResult(io.port, &io.write, &done, TRUE);
    m_io.reset();
    m_input.clear();
    m_outgoing.clear();
}

void WinSerialPortService::Lose(const QString &reason) {
    if (m_io == nullptr)
        return;
    m_lastError = reason;
    // What was queued here, still being written, or still in the driver's queue dies with the
    // line.
    COMSTAT status{};
    DWORD errors = 0;
    m_outputDropped = m_io->writeUnderWay || !m_outgoing.isEmpty() ||
                      (ClearCommError(m_io->port, &errors, &status) && status.cbOutQue > 0);
    m_delivery.Stop();
    PurgeComm(m_io->port, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
    Release();
    // A line that fails while closing is not lost: the close tells what was dropped.
    if (!m_closing)
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT LineLost(); }, Qt::QueuedConnection);
}

bool WinSerialPortService::ReadWaiting() {
    const qsizetype before = m_input.size();
    while (m_io != nullptr && m_input.size() < kInputBufferSize) {
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(m_io->port, &errors, &status)) {
            Lose(win::ReadFailure(GetLastError()));
            return false;
        }
        const DWORD wanted =
            std::min<DWORD>(status.cbInQue, static_cast<DWORD>(kInputBufferSize - m_input.size()));
        if (wanted == 0)
            break;
        const qsizetype at = m_input.size();
        m_input.resize(at + wanted);
        ResetEvent(m_io->read.hEvent);
        DWORD got = 0;
        if (!ReadFile(m_io->port, m_input.data() + at, wanted, nullptr, &m_io->read) &&
            GetLastError() != ERROR_IO_PENDING) {
            const DWORD error = GetLastError();
            m_input.truncate(at);
            Lose(win::ReadFailure(error));
            return false;
        }
        // The bytes are there already, so the read ends at once.
        if (!GetOverlappedResult(m_io->port, &m_io->read, &got, TRUE)) {
            const DWORD error = GetLastError();
            m_input.truncate(at);
            Lose(win::ReadFailure(error));
            return false;
        }
        m_input.truncate(at + static_cast<qsizetype>(got));
        if (got == 0)
            break;
    }
    if (m_input.size() > before)
        m_delivery.Arrived();
    return m_io != nullptr;
}

bool WinSerialPortService::Receive() {
    if (!ReadWaiting())
        return false;
    if (m_io->waiting)
        return true;
    // A full buffer waits for Input to take from it; the rest stays with the system meanwhile.
    if (m_input.size() >= kInputBufferSize) {
        ResetEvent(m_io->wait.hEvent);
        return true;
    }
    ResetEvent(m_io->wait.hEvent);
    m_io->waitMask = 0;
    if (WaitCommEvent(m_io->port, &m_io->waitMask, &m_io->wait) ||
        GetLastError() == ERROR_IO_PENDING) {
        // Done at once or later: either way the event is signalled and WaitDone reads.
        m_io->waiting = true;
        return true;
    }
    Lose(win::ReadFailure(GetLastError()));
    return false;
}

void WinSerialPortService::WaitDone() {
    if (m_io == nullptr)
        return;
    if (!m_io->waiting) {
        ResetEvent(m_io->wait.hEvent);
        return;
    }
    DWORD done = 0;
    if (!GetOverlappedResult(m_io->port, &m_io->wait, &done, FALSE)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return;
        m_io->waiting = false;
        Lose(win::ReadFailure(error));
        return;
    }
    m_io->waiting = false;
    Receive();
}

bool WinSerialPortService::StartWrite() {
    while (m_io != nullptr && !m_io->writeUnderWay && !m_outgoing.isEmpty()) {
        Io &io = *m_io;
        io.writing = std::exchange(m_outgoing, QByteArray());
        ResetEvent(io.write.hEvent);
        if (!WriteFile(io.port, io.writing.constData(), static_cast<DWORD>(io.writing.size()),
                       nullptr, &io.write) &&
            GetLastError() != ERROR_IO_PENDING) {
            const DWORD error = GetLastError();
            m_outgoing.prepend(std::exchange(io.writing, QByteArray())); // never went out
            Lose(win::WriteFailure(error));
            return false;
        }
        // Done at once or later: WriteDone takes the result when the event is signalled.
        io.writeUnderWay = true;
    }
    return m_io != nullptr;
}

void WinSerialPortService::WriteDone() {
    if (m_io == nullptr)
        return;
    if (!m_io->writeUnderWay) {
        ResetEvent(m_io->write.hEvent);
        return;
    }
    DWORD written = 0;
    if (!GetOverlappedResult(m_io->port, &m_io->write, &written, FALSE)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return;
        m_io->writeUnderWay = false;
        m_outgoing.prepend(std::exchange(m_io->writing, QByteArray())); // did not go out whole
        Lose(win::WriteFailure(error));
        return;
    }
    m_io->writeUnderWay = false;
    ResetEvent(m_io->write.hEvent);
    // Without write time-outs a write ends only when all of it is taken; anything short is
    // sent again before what was queued after it.
    if (written < static_cast<DWORD>(m_io->writing.size()))
        m_outgoing.prepend(m_io->writing.mid(static_cast<qsizetype>(written)));
    m_io->writing.clear();
    StartWrite();
}

bool WinSerialPortService::Output(const QString &text) {
    if (m_io == nullptr) {
        m_lastError = kNotOpen;
        return false;
    }
    m_outgoing.append(text.toLatin1());
    return StartWrite();
}

QString WinSerialPortService::Input() {
    if (m_io == nullptr)
        return {};
    qint64 count = std::min<qint64>(m_input.size(), kInputBufferSize);
    if (m_inputLen > 0)
        count = std::min<qint64>(count, m_inputLen);
    const QString text = QString::fromLatin1(m_input.left(count));
    m_input.remove(0, count);
    // Room again: what the system held meanwhile is read, and waiting starts again if it had
    // stopped on a full buffer. The delivery rule learns of both through Taken.
    if (!m_io->waiting)
        Receive();
    m_delivery.Taken(text.size());
    return text;
}

bool WinSerialPortService::DrainOutput() {
    const QDeadlineTimer deadline(kDrainBound);
    // First the writes under way and queued here, then what waits in the driver's queue.
    while (m_io != nullptr && m_io->writeUnderWay && !deadline.hasExpired()) {
        const auto remaining = static_cast<DWORD>(std::max<qint64>(deadline.remainingTime(), 0));
        if (WaitForSingleObject(m_io->write.hEvent, remaining) != WAIT_OBJECT_0)
            break;
        WriteDone();
    }
    if (m_io == nullptr)
        return false;
    bool handedOver = !m_io->writeUnderWay && m_outgoing.isEmpty();
    COMSTAT status{};
    DWORD errors = 0;
    while (handedOver && ClearCommError(m_io->port, &errors, &status) && status.cbOutQue > 0) {
        if (deadline.hasExpired()) {
            handedOver = false;
            break;
        }
        Sleep(2);
    }
    if (!handedOver) {
        // The line does not take them (a stuck handshake): drop them, or the close would wait.
        PurgeComm(m_io->port, PURGE_TXABORT | PURGE_TXCLEAR);
        m_outgoing.clear();
    }
    return handedOver;
}

} // namespace tuner
