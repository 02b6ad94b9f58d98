#include "link/protocol/records.h"

#include "codec/modStrings.h"
#include "link/settings/number_forms.h"
#include "link/settings/number_text.h"

#include <QStringList>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace tuner {
namespace {

const QString kDelimiter = QStringLiteral(",");
const QString kEscape = QStringLiteral("\\");

std::optional<float> ReadPercent(const QString &field) {
    const std::optional<double> value = ReadNumber(field);
    // A value beyond single precision cannot be held: the field does not convert.
    if (!value || std::fabs(*value) > static_cast<double>(FLT_MAX))
        return std::nullopt;
    return static_cast<float>(*value);
}

std::optional<bool> ReadTruth(const QString &field) {
    qsizetype first = 0;
    qsizetype last = field.size();
    while (first < last && IsBlank(field.at(first)))
        ++first;
    while (last > first && IsBlank(field.at(last - 1)))
        --last;
    const QStringView word = QStringView(field).mid(first, last - first);
    if (word.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> value = ReadNumber(field);
    if (!value)
        return std::nullopt;
    return *value != 0;
}

bool IsRecordEndOrBlank(QChar c) {
    return c == QChar(0) || c == u'\r' || c == u'\n' || c == u' ' || c == u'\t';
}

// The splitter takes a NUL for a delimiter. One after the tenth field ends (after a report's
// CR, at the end of its last value) changes nothing; one before would split a field in two.
// True when the NUL at `nul` stands in the tenth field, which began before it, and only the
// record's end follows it there.
bool NulEndsTheTenthField(const QString &text, qsizetype nul) {
    const qsizetype start = text.lastIndexOf(kDelimiter, nul);
    const bool begun = !QStringView(text).mid(start + 1, nul - start - 1).trimmed().isEmpty();
    const qsizetype comma = text.indexOf(kDelimiter, nul + 1);
    const QStringView rest =
        QStringView(text).mid(nul + 1, comma < 0 ? text.size() - nul - 1 : comma - nul - 1);
    return begun && std::all_of(rest.cbegin(), rest.cend(), IsRecordEndOrBlank);
}

// The fields of a report, split once: all of them without a NUL; else those that ended before
// the first NUL, and the tenth too when the NUL only ends it. Nothing when fewer than a report's.
std::optional<QStringList> ReportFields(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul < 0) {
        QStringList fields = modStrings::SplitFields(text, kDelimiter, kEscape, true);
        if (fields.size() < kReportFieldCount)
            return std::nullopt;
        return fields;
    }
    // A stand-in character after the text before the NUL makes a field of its own when a field
    // ended right there, so the last field is always the one the NUL stands in.
    QStringList fields = modStrings::SplitFields(text.left(nul) + u'x', kDelimiter, kEscape, true);
    const QString cut = fields.takeLast().chopped(1);
    if (fields.size() == kReportFieldCount - 1 && NulEndsTheTenthField(text, nul))
        fields.append(cut);
    if (fields.size() < kReportFieldCount)
        return std::nullopt;
    return fields;
}

} // namespace

QString ReadRequest() {
    return QStringLiteral("R") + QChar(kRecordTerminator);
}

bool IsForeignControl(QChar c) {
    const char16_t u = c.unicode();
    if (u == u'\r' || u == u'\n' || u == u'\t')
        return false;
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}

std::optional<TuningParameters> ParseReport(const QString &received) {
    const std::optional<QStringList> split = ReportFields(received);
    if (!split)
        return std::nullopt;
    const QStringList &fields = *split;

    TuningParameters p;
    for (const PercentField &percent : kPercents) {
        const std::optional<float> value = ReadPercent(fields.at(percent.wireField));
        if (!value)
            return std::nullopt;
        p.*percent.value = *value;
    }
    for (const SwitchField &flag : kSwitches) {
        const std::optional<bool> value = ReadTruth(fields.at(flag.wireField));
        if (!value)
            return std::nullopt;
        p.*flag.value = *value;
    }
    return p;
}

OwnRecordTest OwnSaveTest(OwnSaves rule, const QString &lastSent) {
    if (rule == OwnSaves::EveryTaggedS) {
        return [](QStringView record) {
            const QStringList fields =
                modStrings::SplitFields(record.toString(), kDelimiter, kEscape, true);
            return fields.constFirst().trimmed() == u"S";
        };
    }
    return [lastSent = lastSent.trimmed()](QStringView record) {
        return !lastSent.isEmpty() && record.trimmed() == lastSent;
    };
}

std::optional<TuningParameters> LastReport(const QList<QStringView> &records,
                                           const OwnRecordTest &isOwn) {
    for (auto record = records.crbegin(); record != records.crend(); ++record) {
        if (record->trimmed().isEmpty() || (isOwn && isOwn(*record)))
            continue;
        if (std::optional<TuningParameters> report = ParseReport(record->toString()))
            return report;
    }
    return std::nullopt;
}

std::optional<TuningParameters> ReportIn(const QString &received, const OwnRecordTest &isOwn) {
    return LastReport(QStringView(received).split(QChar(kRecordTerminator)), isOwn);
}

namespace {

// A record of the nine settings after its tag, and as many more fields as `fieldCount` asks for.
QString SettingsRecord(QStringView tag, const std::array<double, kPercentCount> &percents,
                       const TuningParameters &switches, int fieldCount) {
    QStringList fields(fieldCount);
    fields[0] = tag.toString();
    for (std::size_t i = 0; i < kPercents.size(); ++i)
        fields[kPercents[i].wireField] = WireForm(percents[i]);
    for (const SwitchField &flag : kSwitches)
        fields[flag.wireField] = WireForm(switches.*flag.value);
    return modStrings::JoinFields(fields, kDelimiter, kEscape) + QChar(kRecordTerminator);
}

} // namespace

QString SaveCommand(const std::array<double, kPercentCount> &percents,
                    const TuningParameters &switches) {
    // The empty last field leaves a comma before the end.
    return SettingsRecord(u"S", percents, switches, kSaveFieldCount);
}

QString ReportRecord(const TuningParameters &settings, QStringView tag) {
    std::array<double, kPercentCount> percents{};
    for (std::size_t i = 0; i < kPercents.size(); ++i)
        percents[i] = static_cast<double>(settings.*kPercents[i].value);
    return SettingsRecord(tag, percents, settings, kReportFieldCount);
}

std::optional<QString> SaveCommand(const std::array<QString, kPercentCount> &texts, bool tpsReverse,
                                   bool ebrakeCutOff, bool gSensorCalibrate) {
    std::array<double, kPercentCount> percents{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::optional<double> value = ReadNumber(texts[i]);
        if (!value)
            return std::nullopt;
        percents[i] = *value;
    }
    TuningParameters switches;
    switches.TpsReverse = tpsReverse;
    switches.EbrakeCutOff = ebrakeCutOff;
    switches.GSensorCalibrate = gSensorCalibrate;
    return SaveCommand(percents, switches);
}

} // namespace tuner
