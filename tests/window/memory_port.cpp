#include "tests/window/memory_port.h"

#include <utility>

namespace tuner::testing {

void MemoryPort::SetCommPort(qint16 port) {
    commPort_ = port;
    calls.append(QStringLiteral("CommPort=") + QString::number(port));
}

void MemoryPort::SetSettings(const QString &settings) {
    settings_ = settings;
    calls.append(QStringLiteral("Settings=") + settings);
}

void MemoryPort::SetInputLen(qint16 length) {
    inputLen_ = length;
    calls.append(QStringLiteral("InputLen=") + QString::number(length));
}

void MemoryPort::SetRThreshold(qint16 threshold) {
    rThreshold_ = threshold;
    calls.append(QStringLiteral("RThreshold=") + QString::number(threshold));
}

bool MemoryPort::SetPortOpen(bool open) {
    if (open) {
        calls.append(QStringLiteral("Open"));
        if (failOpen_) {
            lastError_ = *failOpen_;
            failOpen_.reset();
            return false;
        }
        ++opens;
        open_ = true;
        input_.clear();
        return true;
    }
    calls.append(QStringLiteral("Close"));
    if (open_) {
        ++closes;
        lastError_ = std::exchange(dropAtClose_, false)
                         ? QStringLiteral("queued output was dropped")
                         : QString();
    }
    open_ = false;
    input_.clear();
    return true;
}

bool MemoryPort::Output(const QString &text) {
    calls.append(QStringLiteral("Output"));
    if (!open_) {
        lastError_ = QStringLiteral("port not open");
        return false;
    }
    if (failWrites_) {
        lastError_ = *failWrites_;
        return false;
    }
    written.append(text);
    return true;
}

QString MemoryPort::Input() {
    calls.append(QStringLiteral("Input"));
    return std::exchange(input_, QString());
}

void MemoryPort::Deliver(const QString &text, qint16 event) {
    input_ += text;
    commEvent_ = event;
    Q_EMIT OnComm();
}

void MemoryPort::Arrive(const QString &text) {
    input_ += text;
}

void MemoryPort::DropOutputAtNextClose() {
    dropAtClose_ = true;
}

void MemoryPort::FailNextOpen(const QString &reason) {
    failOpen_ = reason;
}

void MemoryPort::FailWrites(std::optional<QString> reason) {
    failWrites_ = std::move(reason);
}

void MemoryPort::LoseLine(const QString &reason) {
    open_ = false;
    input_.clear();
    lastError_ = reason;
    Q_EMIT LineLost();
}

} // namespace tuner::testing
