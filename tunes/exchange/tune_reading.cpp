#include "tunes/exchange/tune_reading.h"

#include <QDateTime>
#include <QTimer>

namespace tuner {

TuneReading::TuneReading(SerialPortService &port, std::function<QString(qint16)> devicePath,
                         std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_connection(port, std::move(devicePath), timeout) {
    connect(&m_connection, &ControllerConnection::Waiting, this, &TuneReading::Waiting);
    connect(&m_connection, &ControllerConnection::ReadEnded, this, &TuneReading::End);
}

void TuneReading::Start(qint16 port) {
    m_port = port;
    m_active = true;
    if (const std::optional<ExchangeProblem> problem = m_connection.Open(port)) {
        // Told from the event loop, as every other end is.
        QTimer::singleShot(0, this, [this, failed = *problem] {
            if (m_active) {
                m_active = false;
                Q_EMIT Finished(failed);
            }
        });
        return;
    }
    m_connection.StartRead();
}

void TuneReading::Cancel() {
    m_active = false;
    m_connection.CancelRead();
    m_connection.Close();
}

void TuneReading::End(const ReadOutcome &outcome) {
    m_active = false;
    m_connection.Close();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&outcome)) {
        Q_EMIT Finished(*problem);
        return;
    }
    Q_EMIT Finished(TuneFile{TuneOf(std::get<TuningParameters>(outcome)),
                             {},
                             QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                             m_port});
}

} // namespace tuner
