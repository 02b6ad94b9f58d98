#pragma once

#include "link/tuning_parameters.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <variant>

namespace tuner {

// The settings of a tune file are those of the parameter table (link/parameter_set.h) that have
// a file key, under that key, in the table's order.

// The first two keys of every tune file: "format": "dccd-tune", "version": 1.
inline constexpr char kTuneFormat[] = "dccd-tune";
inline constexpr int kTuneVersion = 1;

// A tune: the settings as the wire carries them (whole percentages) and the two switches. The
// calibration request is no setting and is always false here.
TuningParameters TuneOf(const TuningParameters &settings);

// The tune the window's Default button loads.
TuningParameters DefaultTune();

// The tune file of a tune: one JSON object, two-space indentation, keys in table order.
QByteArray TuneFileText(const TuningParameters &tune);

// A tune file is a few hundred bytes; a text longer than this is refused unread, so a file
// named by mistake (a log, an image) is never read whole.
inline constexpr qsizetype kLargestTuneFile = 1024 * 1024;

// The tune a file's text holds, or the one message that says what is wrong, starting with the
// file's name and naming the key (or line:column), the value and what is allowed:
//   street.json: "acceleration" is 250; it must be a whole number from 0 to 200
// A key given twice is refused with both its lines, a text longer than kLargestTuneFile for its
// size.
std::variant<TuningParameters, QString> ParseTuneFile(const QByteArray &text,
                                                      const QString &fileName);

// The save record of a tune: built by the protocol's SaveCommand from the whole percentages.
QString SaveRecordOf(const TuningParameters &tune, bool calibrate);

// A setting whose wire form differs between two tunes, with both values as a file shows them.
struct TuneDifference {
    QString key;
    QString first;
    QString second;
};
QList<TuneDifference> Differences(const TuningParameters &first, const TuningParameters &second);

// The differences as a table with a heading: setting, first, second, one row each.
QString DifferenceTable(const QList<TuneDifference> &differences, const QString &firstHeading,
                        const QString &secondHeading);

// A percentage as a file shows it: the whole number it rounds to, halves away from zero.
QString WholeText(float value);

} // namespace tuner
