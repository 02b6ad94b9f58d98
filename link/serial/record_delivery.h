#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace tuner {

// When a serial port service raises its receive event: the one rule every platform's service
// follows. The service tells it of each arrival and each read; it says when the waiting text is
// due as one receive event.
//
// Due once the threshold is met (RThreshold characters wait) and either the waiting text ends
// with a record's end (CR, or CR LF), or kInputBufferSize characters wait, or the line has been
// quiet for kSettleInterval. A record that trickles in is therefore never cut by a clock while
// it keeps coming. When a delivery left text behind (a report straddling the 1024-character
// limit), that rest is due once it ends a record or the line is quiet, however short it is.
// Nothing runs while the port is idle: the one single-shot timer is armed only by arrivals.
class RecordDelivery : public QObject {
    Q_OBJECT

public:
    // Text without a record's end is taken once the line has been quiet this long. USB serial
    // adapters deliver one burst in pieces up to 16 ms apart, and a busy controller may pause
    // some 30 ms inside a report: neither cuts a record in two. A record that ends with its CR
    // does not wait for it.
    static constexpr std::chrono::milliseconds kSettleInterval{50};
    // One Input takes at most this many characters, and this many waiting are due at once; the
    // rest waits in the operating system.
    static constexpr qint64 kInputBufferSize = 1024;

    // What the rule reads of the service's input, without taking anything.
    struct Waiting {
        // The characters the service holds for Input.
        std::function<qint64()> count;
        // The first n of them.
        std::function<QByteArray(qint64 n)> peek;
        // True while the system holds bytes the service has not read yet: the line was not
        // quiet, and the service reads them next.
        std::function<bool()> systemHoldsMore;
    };

    explicit RecordDelivery(Waiting waiting, QObject *parent = nullptr);

    // RThreshold: 0 or less raises no event at all.
    void SetThreshold(qint64 threshold) { m_threshold = threshold; }

    // The port opened: nothing of an earlier connection counts.
    void Start();
    // Bytes arrived (or may be waiting): decides again.
    void Arrived();
    // The owner took `taken` characters with Input. When the take was cut at kInputBufferSize,
    // what is left is the rest of the same burst.
    void Taken(qint64 taken);
    // The port closed or was lost.
    void Stop();

Q_SIGNALS:
    // The waiting text is due: the service raises OnComm with CommEvent 2.
    void Due();

private:
    void Settled();
    bool Eligible(qint64 count) const;
    bool EndsWithRecordEnd(qint64 count) const;

    Waiting m_waiting;
    qint64 m_threshold = 0;
    // A delivery left text behind: it is due below the threshold too.
    bool m_restOfBurst = false;
    QTimer m_settle;
};

} // namespace tuner
