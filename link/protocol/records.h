#pragma once

#include "link/settings/parameter_set.h"

#include <QString>
#include <QStringView>

#include <array>
#include <functional>
#include <optional>

namespace tuner {

// The receive event fires once at least this many characters wait.
inline constexpr int kReceiveThreshold = 49;

// Every record the utility sends ends with a carriage return.
inline constexpr char16_t kRecordTerminator = u'\r';

// Characters in a save command, its carriage return included: "S", a comma and five digits for
// each setting, the comma of the empty last field, and the CR (57 for the nine settings).
inline constexpr int kSaveCommandLength = 1 + (kPercentCount + kSwitchCount) * 6 + 1 + 1;

// "R" followed by a carriage return: asks the controller for its settings.
QString ReadRequest();

// True for a control character that no record the utility sends may hold: any of C0, DEL and
// C1 (what Latin-1 bytes 0x80 to 0x9F read as) except the CR, LF and tab a record may end or
// be padded with.
bool IsForeignControl(QChar c);

// A received text as a settings report: ten or more comma-separated fields, field 0 a tag
// that is not looked at, fields 1 to 6 numbers, fields 7 to 9 truth values. Nothing when the
// text is not a full report, and nothing when a NUL stands before the end of the tenth field:
// the splitter cuts at a NUL, so one from a noisy line would split a field in two and shift
// every later value. Other control characters are left to the fields: the tag may hold any,
// a number holding one does not convert, and what follows the tenth field is not looked at.
// Never a partly filled set.
std::optional<TuningParameters> ParseReport(const QString &received);

// Tells whether a received record is the utility's own save coming back (a half-duplex adapter,
// a loop-back plug, or firmware that echoes what it receives): such a record is never a report.
using OwnRecordTest = std::function<bool(QStringView record)>;

// Which records are our own save coming back. The two programs differ, each for a reason:
// - The window takes a report under any tag, as the controller's record format leaves the tag
//   free; it refuses only what it knows it sent: the save it last sent on this connection
//   (blanks around it aside).
// - dccd-ctl reads back each save to verify it, and a save taken for the read-back would
//   verify anything. A new dccd-ctl cannot know what an earlier run sent on the same line, so
//   it refuses every record tagged "S", as every save is: no controller answers with one.
enum class OwnSaves { LastSent, EveryTaggedS };

// The test of that rule; lastSent is the save last sent ("" before any: nothing is ours).
OwnRecordTest OwnSaveTest(OwnSaves rule, const QString &lastSent = {});

// The settings report a received text holds. The text is cut into records at each CR; the last
// record that is a report, and that the test does not call our own, is taken. A text that is
// one record (a CR, or CR LF, at most at its end) is thus taken whole, and a controller that
// says more than one record in one go (two reports, a report and a prompt, a banner before the
// report) is still read.
std::optional<TuningParameters> ReportIn(const QString &received, const OwnRecordTest &isOwn = {});

// The same over records already cut at their CR, in the order they came.
std::optional<TuningParameters> LastReport(const QList<QStringView> &records,
                                           const OwnRecordTest &isOwn = {});

// Fields of a save record: those of a report and an empty last one.
inline constexpr int kSaveFieldCount = kReportFieldCount + 1;

// The save record: "S", the wire forms of the percentages, the switches and an empty last
// field, joined by commas and ended by a carriage return. The percentages come as numbers in
// wire order; only the switches of `switches` are read.
QString SaveCommand(const std::array<double, kPercentCount> &percents,
                    const TuningParameters &switches);

// The same from the percentages' texts. Nothing when a text is not a number.
std::optional<QString> SaveCommand(const std::array<QString, kPercentCount> &texts, bool tpsReverse,
                                   bool ebrakeCutOff, bool gSensorCalibrate);

// The settings report a controller sends: the tag, the nine settings in their wire forms, joined
// by commas, and a carriage return ("P,00100,00100,00100,00100,00000,00033,00000,00000,00000" CR,
// 56 characters for every set within the save limits).
QString ReportRecord(const TuningParameters &settings, QStringView tag = u"P");

} // namespace tuner
