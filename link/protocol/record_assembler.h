#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <type_traits>

// Joins pieces of a line's text into records. Every record ends with a carriage return. A
// record that grows beyond the limit without one is either dropped, and what follows it up to
// the next carriage return with it, as a controller refuses an overlong record; or kept by its
// last `limit` characters, as a reader of reports keeps a report that comes after a long run of
// noise (a report's own fields are far shorter than the limit, and its tag is not looked at).
namespace tuner {

enum class Overlong { Drop, KeepTail };

template <typename Text> class BasicRecordAssembler {
public:
    explicit BasicRecordAssembler(qsizetype limit, Overlong overlong = Overlong::Drop)
        : m_limit(limit), m_overlong(overlong) {}

    struct Result {
        QList<Text> records; // the records the piece completed, in order, without their CR
        int ended = 0;       // records that ended in the piece, dropped ones included
        int dropped = 0;     // records dropped for their length
    };

    // Takes the next piece. Each character is looked at once, and no more than the limit is
    // kept: linear in the input.
    Result Add(const Text &piece) {
        Result result;
        qsizetype at = 0;
        qsizetype end = 0;
        while ((end = piece.indexOf(End(), at)) >= 0) {
            const qsizetype length = end - at;
            if (m_discarding) {
                m_discarding = false; // the dropped record ends here: in step again
            } else if (m_unfinished.size() + length > m_limit && m_overlong == Overlong::Drop) {
                ++result.dropped;
            } else {
                result.records.append((m_unfinished + piece.mid(at, length)).right(m_limit));
            }
            m_unfinished.clear();
            ++result.ended;
            at = end + 1;
        }
        if (m_discarding)
            return result;
        if (m_unfinished.size() + (piece.size() - at) > m_limit) {
            if (m_overlong == Overlong::KeepTail) {
                m_unfinished = (m_unfinished + piece.mid(at)).right(m_limit);
                return result;
            }
            ++result.dropped;
            m_unfinished.clear();
            m_discarding = true;
            return result;
        }
        m_unfinished += piece.mid(at);
        return result;
    }

    // The record begun and not yet ended.
    const Text &Unfinished() const { return m_unfinished; }

private:
    static auto End() {
        if constexpr (std::is_same_v<Text, QString>)
            return QChar(u'\r');
        else
            return '\r';
    }

    qsizetype m_limit;
    Overlong m_overlong;
    Text m_unfinished;
    bool m_discarding = false; // an overlong record was dropped; skip to its CR
};

// The text of a port service, and the bytes of a line.
using RecordAssembler = BasicRecordAssembler<QString>;
using ByteRecordAssembler = BasicRecordAssembler<QByteArray>;

} // namespace tuner
