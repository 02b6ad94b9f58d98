#pragma once

#include "link/exchange/controller_connection.h"
#include "tunes/files/tune_file.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <variant>

namespace tuner {

// How long a controller is given to answer a read, unless a front is told otherwise.
inline constexpr std::chrono::milliseconds kAnswerTime{3000};

// What reading a controller gives: the tune it holds, with the time and the port it was read
// from, or why none came.
using TuneReadOutcome = std::variant<TuneFile, ExchangeProblem>;

// Reads the tune a controller holds: opens its port, asks for its settings, closes the port.
// Start returns at once; Waiting tells that the controller has not answered yet, and Finished
// ends it once, from the event loop (never inside Start). Cancel ends it without Finished.
class TuneReading : public QObject {
    Q_OBJECT

public:
    TuneReading(SerialPortService &port, std::function<QString(qint16)> devicePath,
                std::chrono::milliseconds timeout, QObject *parent = nullptr);

    void Start(qint16 port);
    void Cancel();
    // "1 (/dev/pts/3)": the port being read.
    QString PortName() const { return m_connection.PortName(); }

Q_SIGNALS:
    void Waiting(const QString &notice);
    void Finished(const tuner::TuneReadOutcome &outcome);

private:
    void End(const ReadOutcome &outcome);

    ControllerConnection m_connection;
    qint16 m_port = 0;
    bool m_active = false; // started and neither finished nor cancelled
};

} // namespace tuner
