#include "link/protocol.h"

#include "codec/modStrings.h"
#include "link/number_text.h"

#include <QStringList>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace tuner {
namespace {

const QString kDelimiter = QStringLiteral(",");
const QString kEscape = QStringLiteral("\\");
constexpr int kReportFields = 10;

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
    if (std::any_of(received.cbegin(), received.cend(), IsForeignControl))
        return std::nullopt;
    const QStringList fields = modStrings::SplitFields(received, kDelimiter, kEscape, true);
    if (fields.size() < kReportFields)
        return std::nullopt;

    std::array<float, kPercentCount> percents{};
    for (int i = 0; i < kPercentCount; ++i) {
        const std::optional<float> value = ReadPercent(fields.at(i + 1));
        if (!value)
            return std::nullopt;
        percents[static_cast<std::size_t>(i)] = *value;
    }
    const std::optional<bool> tps = ReadTruth(fields.at(7));
    const std::optional<bool> ebrake = ReadTruth(fields.at(8));
    const std::optional<bool> calibrate = ReadTruth(fields.at(9));
    if (!tps || !ebrake || !calibrate)
        return std::nullopt;

    TuningParameters p;
    p.Accel = percents[0];
    p.Decel = percents[1];
    p.Turn = percents[2];
    p.MaxOut = percents[3];
    p.MinOut = percents[4];
    p.LfbThreshold = percents[5];
    p.TpsReverse = *tps;
    p.EbrakeCutOff = *ebrake;
    p.GSensorCalibrate = *calibrate;
    return p;
}

std::optional<QString> SaveCommand(const std::array<QString, 6> &texts, bool tpsReverse,
                                   bool ebrakeCutOff, bool gSensorCalibrate) {
    QStringList fields;
    fields.reserve(11);
    fields.append(QStringLiteral("S"));
    for (const QString &text : texts) {
        const std::optional<double> value = ReadNumber(text);
        if (!value)
            return std::nullopt;
        fields.append(WireForm(*value));
    }
    fields.append(WireForm(tpsReverse));
    fields.append(WireForm(ebrakeCutOff));
    fields.append(WireForm(gSensorCalibrate));
    fields.append(QString()); // the empty last field leaves a comma before the terminator
    return modStrings::JoinFields(fields, kDelimiter, kEscape) + QChar(kRecordTerminator);
}

std::optional<qint16> PortNumber(const QString &text) {
    const std::optional<double> value = ReadLeadingNumber(text);
    if (!value)
        return std::nullopt;
    double rounded = std::round(*value);
    if (std::fabs(*value - std::trunc(*value)) == 0.5)
        rounded = 2.0 * std::round(*value / 2.0); // a half goes to the even neighbour
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

} // namespace tuner
