#include "link/serial/record_delivery.h"

#include <algorithm>

namespace tuner {

RecordDelivery::RecordDelivery(Waiting waiting, QObject *parent)
    : QObject(parent), m_waiting(std::move(waiting)) {
    m_settle.setSingleShot(true);
    m_settle.setTimerType(Qt::PreciseTimer);
    connect(&m_settle, &QTimer::timeout, this, &RecordDelivery::Settled);
}

void RecordDelivery::Start() {
    m_restOfBurst = false;
    Arrived();
}

void RecordDelivery::Stop() {
    m_settle.stop();
    m_restOfBurst = false;
}

bool RecordDelivery::Eligible(qint64 count) const {
    if (m_threshold <= 0 || count <= 0)
        return false;
    return count >= std::min(m_threshold, kInputBufferSize) || m_restOfBurst;
}

bool RecordDelivery::EndsWithRecordEnd(qint64 count) const {
    // Peeked, not read: the text stays for Input. CR LF ends with LF after a CR.
    const QByteArray waiting = m_waiting.peek(std::min(count, kInputBufferSize));
    return waiting.endsWith('\r') || waiting.endsWith("\r\n");
}

void RecordDelivery::Arrived() {
    const qint64 count = m_waiting.count();
    if (!Eligible(count))
        return;
    // A record that has ended, or a full buffer, is due with the next turn of the event loop
    // (never from inside Input or an open); anything else waits until the line has been quiet
    // for the settle interval, which starts again with every arrival.
    if (count >= kInputBufferSize || EndsWithRecordEnd(count))
        m_settle.start(0);
    else
        m_settle.start(kSettleInterval);
}

void RecordDelivery::Taken(qint64 taken) {
    // A take cut at the limit leaves the rest of its burst behind, perhaps still in the system:
    // that rest is due however short it is, until the line has been quiet.
    m_restOfBurst = taken >= kInputBufferSize;
    if (m_restOfBurst)
        m_settle.start(kSettleInterval);
    // What still meets the rule is due again.
    Arrived();
}

void RecordDelivery::Settled() {
    const qint64 count = m_waiting.count();
    // Bytes the system holds and the service has not read yet came while the interval ran (a
    // busy event loop may see the timer before the descriptor): the line was not quiet, and the
    // waiting text may not end where it seemed to. The service reads them next, and Arrived
    // decides again.
    if (count < kInputBufferSize && m_waiting.systemHoldsMore && m_waiting.systemHoldsMore())
        return;
    if (Eligible(count))
        Q_EMIT Due();
    else
        m_restOfBurst = false; // the line is quiet and nothing is due: the burst is over
}

} // namespace tuner
