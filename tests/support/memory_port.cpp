#include "tests/support/memory_port.h"

#include <utility>

namespace tuner::testing {

void MemoryPort::SetCommPort(qint16 port) {
    m_commPort = port;
    calls.append(QStringLiteral("CommPort=") + QString::number(port));
}

void MemoryPort::SetSettings(const QString &settings) {
    m_settings = settings;
    calls.append(QStringLiteral("Settings=") + settings);
}

void MemoryPort::SetInputLen(qint16 length) {
    m_inputLen = length;
    calls.append(QStringLiteral("InputLen=") + QString::number(length));
}

void MemoryPort::SetRThreshold(qint16 threshold) {
    m_rThreshold = threshold;
    calls.append(QStringLiteral("RThreshold=") + QString::number(threshold));
}

bool MemoryPort::SetPortOpen(bool open) {
    if (open) {
        calls.append(QStringLiteral("Open"));
        if (m_failOpen) {
            m_lastError = *m_failOpen;
            m_failOpen.reset();
            return false;
        }
        ++opens;
        m_open = true;
        m_outputDropped = false;
        m_input.clear();
        return true;
    }
    calls.append(QStringLiteral("Close"));
    if (m_open) {
        ++closes;
        m_outputDropped = std::exchange(m_dropAtClose, false);
        m_lastError = m_outputDropped ? QStringLiteral("queued output was dropped") : QString();
    }
    m_open = false;
    m_input.clear();
    return true;
}

bool MemoryPort::Output(const QString &text) {
    calls.append(QStringLiteral("Output"));
    if (!m_open) {
        m_lastError = QStringLiteral("port not open");
        return false;
    }
    if (m_failWrites) {
        m_lastError = *m_failWrites;
        return false;
    }
    written.append(text);
    return true;
}

QString MemoryPort::Input() {
    calls.append(QStringLiteral("Input"));
    return std::exchange(m_input, QString());
}

void MemoryPort::Deliver(const QString &text, qint16 event) {
    m_input += text;
    m_commEvent = event;
    Q_EMIT OnComm();
}

void MemoryPort::Arrive(const QString &text) {
    m_input += text;
}

void MemoryPort::DropOutputAtNextClose() {
    m_dropAtClose = true;
}

void MemoryPort::FailNextOpen(const QString &reason) {
    m_failOpen = reason;
}

void MemoryPort::FailWrites(std::optional<QString> reason) {
    m_failWrites = std::move(reason);
}

void MemoryPort::LoseLine(const QString &reason, bool dropping) {
    m_open = false;
    m_outputDropped = dropping;
    m_input.clear();
    m_lastError = reason;
    Q_EMIT LineLost();
}

} // namespace tuner::testing
