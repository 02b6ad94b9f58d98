#pragma once

#include "link/serial/serial_port_service.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tuner::testing {

// A serial port in memory: records what is set and written, delivers received text on
// demand, and fails an open or a write, or loses the line, when told to.
class MemoryPort : public SerialPortService {
public:
    qint16 CommPort() const override { return m_commPort; }
    void SetCommPort(qint16 port) override;
    QString Settings() const override { return m_settings; }
    void SetSettings(const QString &settings) override;
    qint16 InputLen() const override { return m_inputLen; }
    void SetInputLen(qint16 length) override;
    qint16 RThreshold() const override { return m_rThreshold; }
    void SetRThreshold(qint16 threshold) override;

    bool PortOpen() const override { return m_open; }
    bool SetPortOpen(bool open) override;
    bool Output(const QString &text) override;
    QString Input() override;
    qint16 CommEvent() const override { return m_commEvent; }
    QString LastError() const override { return m_lastError; }
    bool OutputDropped() const override { return m_outputDropped; }

    // Puts text into the input buffer and raises OnComm with the given event kind.
    void Deliver(const QString &text, qint16 event = comEvReceive);
    // Puts text into the input buffer without an event, as bytes that came on the line while
    // nobody read; an open discards them, as the real port does.
    void Arrive(const QString &text);
    // The next close drops queued output, as a line that does not take it.
    void DropOutputAtNextClose();
    // The next open fails with this reason.
    void FailNextOpen(const QString &reason);
    // Every write fails with this reason until cleared with std::nullopt.
    void FailWrites(std::optional<QString> reason);
    // The line goes away under an open port: the port closes and LineLost is raised. With
    // `dropping`, output the line had not taken yet goes with it.
    void LoseLine(const QString &reason, bool dropping = false);

    // Everything written, one entry per Output call, and the calls in order as words
    // ("CommPort=1", "Settings=57600,N,8,1", "InputLen=0", "RThreshold=49", "Open", "Close",
    // "Output", "Input").
    QStringList written;
    QStringList calls;
    int opens = 0;
    int closes = 0;

private:
    qint16 m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint16 m_inputLen = 0;
    qint16 m_rThreshold = 0;
    bool m_open = false;
    qint16 m_commEvent = 0;
    QString m_input;
    QString m_lastError;
    bool m_outputDropped = false;
    std::optional<QString> m_failOpen;
    std::optional<QString> m_failWrites;
    bool m_dropAtClose = false;
};

} // namespace tuner::testing
