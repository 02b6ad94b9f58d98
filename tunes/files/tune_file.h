#pragma once

#include "link/settings/parameter_set.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace tuner {

// The settings of a tune file are those of the parameter table (link/settings/parameter_set.h) that
// have a file key, under that key, in the table's order.

// The first two keys of every tune file: "format": "dccd-tune", "version": 1.
inline constexpr char kTuneFormat[] = "dccd-tune";
inline constexpr int kTuneVersion = 1;

// A tune: the settings as the wire carries them (whole percentages) and the two switches. The
// calibration request is no setting and is always false here.
TuningParameters TuneOf(const TuningParameters &settings);

// What a tune file holds: the tune, and what a person needs to know of it. None of the rest is
// sent to a controller: "note" is free text kept exactly as it is, "read_at" (ISO 8601, UTC) and
// "port" say where and when `read` took the tune.
struct TuneFile {
    TuningParameters tune;
    QString note;    // "" for none
    QString readAt;  // "" for none
    qint16 port = 0; // 0 for none
};

// The tune file of a tune: one JSON object, two-space indentation, the format and version, the
// note, read_at and port when there are any, then the settings in table order.
QByteArray TuneFileText(const TuneFile &file);
QByteArray TuneFileText(const TuningParameters &tune);

// A tune file is a few hundred bytes; a text longer than this is refused unread, so a file
// named by mistake (a log, an image) is never read whole.
inline constexpr qsizetype kLargestTuneFile = 1024 * 1024;

// What a file's text holds, or the one message that says what is wrong, starting with the
// file's name and naming the key (or line:column), the value and what is allowed:
//   street.json: "acceleration" is 250; it must be a whole number from 0 to 200
//   street.json:4:3: a comma or } is missing
//   street.json: "turing": no such setting; did you mean "turning"?
// A key given twice is refused with both its lines, a text longer than kLargestTuneFile for its
// size. The text is UTF-8, with or without a byte-order mark, or UTF-16 with one.
// With SettingRange::Held a percentage may be any whole number, as a controller may hold one
// that was set by something else: a restore point keeps what it held, whatever it was.
enum class SettingRange { Saved, Held };
std::variant<TuneFile, QString> ParseTuneFile(const QByteArray &text, const QString &fileName,
                                              SettingRange range = SettingRange::Saved);

// The first percentage outside the range a save allows, as "min_output -5, outside 0 to 100",
// leaving out the keys in `unchecked`; "" when every one is within.
QString OutOfRange(const TuningParameters &tune, const QStringList &unchecked = {});
// Every percentage outside that range, in table order.
QList<const PercentField *> PercentsOutOfRange(const TuningParameters &tune,
                                               const QStringList &unchecked = {});

// The keys of the settings, in table order: "acceleration", ..., "ebrake_cut_off".
QStringList SettingKeys();

// The save record of a tune: its numbers straight into the protocol's SaveCommand.
QString SaveRecordOf(const TuningParameters &tune, bool calibrate);

// A percentage as a file shows it: the whole number it rounds to, halves away from zero.
QString WholeText(float value);
double WholeValue(float value);

} // namespace tuner
