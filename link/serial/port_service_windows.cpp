#include "link/serial/port_service_windows.h"

#include "link/ports/port_names_windows.h"
#include "link/ports/port_table.h"
#include "link/serial/comm_windows.h"
#include "link/serial/failure_reasons.h"
#include "link/serial/line_settings.h"

#include <QDeadlineTimer>
#include <QWinEventNotifier>

#include <algorithm>

// Modem-control lines: the port's DCB is read from the system and only its framing and flow
// control are changed (see win::ApplyLineSettings); EscapeCommFunction is never called. Windows
// itself raises DTR and RTS when a port is opened, the same for every program.

namespace tuner {
namespace {

const wchar_t *Wide(const QString &text) {
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

// A manual-reset event for one kind of overlapped operation.
HANDLE NewEvent() {
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

// The open port: its handle, and one overlapped read and one overlapped write, each with the
// event that tells it is done.
struct WinSerialPortService::Io {
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED read{};
    QByteArray reading; // the buffer of the read under way
    bool readUnderWay = false;
    OVERLAPPED write{};
    QByteArray writing; // the bytes of the write under way, kept until it is done
    bool writeUnderWay = false;
    // Children of the service, deleted later: the port may be lost inside their own signal.
    QWinEventNotifier *readNotifier = nullptr;
    QWinEventNotifier *writeNotifier = nullptr;

    ~Io() {
        for (QWinEventNotifier *notifier : {readNotifier, writeNotifier}) {
            if (notifier != nullptr) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
        for (HANDLE event : {read.hEvent, write.hEvent})
            if (event != nullptr)
                CloseHandle(event);
        if (port != INVALID_HANDLE_VALUE)
            CloseHandle(port);
    }
};

WinSerialPortService::WinSerialPortService(const comfunct::PortTable &ports, QObject *parent)
    : DevicePortService(ports, parent) {}

WinSerialPortService::~WinSerialPortService() {
    Close();
}

bool WinSerialPortService::SystemHoldsMore() const {
    COMSTAT status{};
    DWORD errors = 0;
    return m_io != nullptr && ClearCommError(m_io->port, &errors, &status) && status.cbInQue > 0;
}

bool WinSerialPortService::OpenDevice(const QString &device, const LineSettings &line) {
    auto io = std::make_unique<Io>();
    std::optional<QString> refusal = TakePort(win::OpenPath(device), *io);
    if (!refusal)
        refusal = SetUpLine(*io, line);
    if (refusal) {
        m_lastError = *refusal;
        return false;
    }
    // Only an answer to what is written from now on may be read: bytes that came while the
    // port was closed (a late answer, a controller's start-up chatter) are dropped.
    PurgeComm(io->port, PURGE_RXABORT | PURGE_RXCLEAR);
    WatchEvents(*io);
    m_io = std::move(io);
    m_input.clear();
    m_outgoing.clear();
    return StartRead();
}

std::optional<QString> WinSerialPortService::TakePort(const QString &path, Io &io) {
    // A folder cannot be opened as a file at all; the system would say "access denied".
    if (const DWORD attributes = GetFileAttributesW(Wide(path));
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return kNotSerial.toString();
    // No sharing: while the port is open no other program can open it, which is the lock.
    io.port = CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (io.port == INVALID_HANDLE_VALUE)
        return win::OpenFailure(GetLastError());
    if (GetFileType(io.port) != FILE_TYPE_CHAR)
        return kNotSerial.toString();
    return std::nullopt;
}

std::optional<QString> WinSerialPortService::SetUpLine(Io &io, const LineSettings &line) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(io.port, &dcb))
        return kNotSerial.toString();
    win::ApplyLineSettings(line, dcb);
    if (!SetCommState(io.port, &dcb))
        return kSettingsNotSupported.toString();
    // A read waits for the first byte as long as it takes, so an idle line wakes nobody, then
    // ends once the line pauses (for the shortest interval Windows times, 1 ms) or the size asked
    // is there. Writes have no time limit (closing bounds the wait for them).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    io.read.hEvent = NewEvent();
    io.write.hEvent = NewEvent();
    if (!SetCommTimeouts(io.port, &timeouts) || io.read.hEvent == nullptr ||
        io.write.hEvent == nullptr)
        return win::OpenFailure(GetLastError());
    return std::nullopt;
}

void WinSerialPortService::WatchEvents(Io &io) {
    io.readNotifier = new QWinEventNotifier(io.read.hEvent, this);
    io.writeNotifier = new QWinEventNotifier(io.write.hEvent, this);
    connect(io.readNotifier, &QWinEventNotifier::activated, this, &WinSerialPortService::ReadDone);
    connect(io.writeNotifier, &QWinEventNotifier::activated, this,
            &WinSerialPortService::WriteDone);
}

void WinSerialPortService::Release() {
    if (m_io == nullptr)
        return;
    Io &io = *m_io;
    io.readNotifier->setEnabled(false);
    io.writeNotifier->setEnabled(false);
    // Every overlapped operation must be over before its OVERLAPPED and buffer go.
    CancelIoEx(io.port, nullptr);
    DWORD done = 0;
    if (io.readUnderWay)
        GetOverlappedResult(io.port, &io.read, &done, TRUE);
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

bool WinSerialPortService::StartRead() {
    if (m_io == nullptr || m_io->readUnderWay)
        return m_io != nullptr;
    // A full buffer waits for Input to take from it; the rest stays with the system meanwhile.
    const qsizetype room = kInputBufferSize - m_input.size();
    if (room <= 0) {
        ResetEvent(m_io->read.hEvent);
        return true;
    }
    Io &io = *m_io;
    io.reading.resize(room);
    ResetEvent(io.read.hEvent);
    if (!ReadFile(io.port, io.reading.data(), static_cast<DWORD>(room), nullptr, &io.read) &&
        GetLastError() != ERROR_IO_PENDING) {
        Lose(win::ReadFailure(GetLastError()));
        return false;
    }
    // Done at once or later: either way ReadDone takes the bytes when the event is signalled.
    io.readUnderWay = true;
    return true;
}

void WinSerialPortService::ReadDone() {
    if (m_io == nullptr)
        return;
    if (!m_io->readUnderWay) {
        ResetEvent(m_io->read.hEvent);
        return;
    }
    DWORD got = 0;
    if (!GetOverlappedResult(m_io->port, &m_io->read, &got, FALSE)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return;
        m_io->readUnderWay = false;
        Lose(win::ReadFailure(error));
        return;
    }
    m_io->readUnderWay = false;
    m_input.append(m_io->reading.constData(), static_cast<qsizetype>(got));
    // The next read first: the delivery rule may ask whether the system holds more.
    StartRead();
    if (got > 0)
        m_delivery.Arrived();
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

bool WinSerialPortService::Write(const QByteArray &bytes) {
    m_outgoing.append(bytes);
    return StartWrite();
}

QByteArray WinSerialPortService::Read(qint64 n) {
    const QByteArray taken = m_input.left(n);
    m_input.remove(0, n);
    // Room again: reading starts again if it had stopped on a full buffer.
    StartRead();
    return taken;
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

std::unique_ptr<SerialPortService> MakePortService(const comfunct::PortTable &ports,
                                                   QObject *parent) {
    return std::make_unique<WinSerialPortService>(ports, parent);
}

} // namespace tuner
