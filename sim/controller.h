#pragma once

#include "link/protocol/record_assembler.h"
#include "link/settings/parameter_set.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

// The simulated controller's behaviour without any I/O: bytes from the line go in, the bytes to
// send back and the log lines come out.
namespace sim {

struct Behaviour {
    tuner::TuningParameters values = tuner::DefaultSettings();
    bool silent = false;              // never answer
    bool noise = false;               // garbage before each report
    std::optional<QByteArray> report; // sent (with a CR) instead of a report
    bool forgetful = false;           // logs a save as stored but keeps the old values
    int hangupAfter = 0;              // hang up right after this many records (0: never)
};

// Bytes sent before a report with --noise: printable garbage, ASCII and not, with no control
// character, comma, backslash or CR, so the report after them still parses (they become part
// of its tag).
inline constexpr char kNoise[] = "\xfe~#?\xa7!\xe9*";

// A record that grows beyond this many bytes without its CR is dropped, and what follows up
// to the next CR with it.
inline constexpr qsizetype kMaxRecord = 4096;

// The report of a set: tag "P", the nine values in their wire forms, a CR. 56 bytes.
QByteArray ReportOf(const tuner::TuningParameters &values);

// Exactly nine values as a report's fields 1 to 9 ("100,100,100,100,0,33,0,0,0"), the six
// percentages within the ranges a save allows, or nothing.
std::optional<tuner::TuningParameters> ParseValues(const QString &fields);

// Bytes as one log line: printable ASCII as it is, a backslash doubled, anything else \xHH.
QString Printable(const QByteArray &bytes);

class Controller {
public:
    struct Result {
        QByteArray reply;    // bytes to send, in order
        QStringList log;     // one entry per line, without the newline
        int records = 0;     // complete records taken
        bool hangup = false; // the last record taken was the one to hang up after
    };

    explicit Controller(Behaviour behaviour) : m_behaviour(std::move(behaviour)) {}

    // Takes bytes from the line; every record ends with a CR. Bytes of an unfinished record
    // are kept for the next call, up to kMaxRecord. Once the record to hang up after has been
    // taken, the rest of the bytes, and every later call, are ignored.
    Result Receive(const QByteArray &bytes);

    const tuner::TuningParameters &Values() const { return m_behaviour.values; }

private:
    // One complete record: a read request is answered, a save stored, anything else ignored.
    void Handle(const QByteArray &record, Result &result);
    void Answer(Result &result) const;
    void Store(const QString &record, Result &result);

    Behaviour m_behaviour;
    tuner::ByteRecordAssembler m_records{kMaxRecord};
    int m_taken = 0;
};

} // namespace sim
