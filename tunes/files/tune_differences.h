#pragma once

#include "tunes/files/tune_file.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tuner {

// A setting whose wire form differs between two tunes, with both values as a file shows them,
// and as JSON values of their own type (a number, true or false; the note's text, or null).
struct TuneDifference {
    QString key;
    QString first;
    QString second;
    QJsonValue firstValue;
    QJsonValue secondValue;
};
QList<TuneDifference> Differences(const TuningParameters &first, const TuningParameters &second);

// The notes of two tune files when they differ, as a row keyed "note" with each note quoted
// ("(none)" for a file without one); nothing when they are the same.
std::optional<TuneDifference> NoteDifference(const TuneFile &first, const TuneFile &second);

// The differences as JSON for scripts: {"first": NAME, "second": NAME, "equal": BOOL,
// "differences": [{"setting": KEY, "first": VALUE, "second": VALUE}, ...]} with numbers as
// numbers, switches as true or false, and the note, when it differs, as the last entry.
QByteArray DifferenceJson(const QList<TuneDifference> &differences, const QString &firstHeading,
                          const QString &secondHeading, bool equal);

// The differences as a table with a heading: setting, first, second, one row each.
QString DifferenceTable(const QList<TuneDifference> &differences, const QString &firstHeading,
                        const QString &secondHeading);

// Rows as a table of text: every column but the last padded to its widest cell, two spaces
// apart, one line each.
QString TextTable(const QList<QStringList> &rows);

} // namespace tuner
