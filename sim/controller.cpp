#include "sim/controller.h"

#include "link/exchange/port_messages.h"
#include "link/protocol/records.h"
#include "link/settings/number_text.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace sim {
namespace {

constexpr int kValueCount = tuner::kPercentCount + tuner::kSwitchCount;
constexpr int kSaveParts = tuner::kSaveFieldCount; // "S", the values and the empty last piece

// Exactly five ASCII digits, the form the tuner gives every field of a save.
bool IsFiveDigits(const QString &field) {
    return field.size() == 5 && std::all_of(field.cbegin(), field.cend(),
                                            [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The values in wire order, as written by a person.
QString FieldsOf(const tuner::TuningParameters &v) {
    QStringList fields;
    for (const tuner::PercentField &percent : tuner::kPercents)
        fields.append(QString::number(static_cast<double>(v.*percent.value), 'g', 9));
    for (const tuner::SwitchField &flag : tuner::kSwitches)
        fields.append(v.*flag.value ? QStringLiteral("1") : QStringLiteral("0"));
    return fields.join(u',');
}

// A percentage of a save as a controller stores it, or why it is refused.
std::variant<float, QString> ReadSavedPercent(const QString &field,
                                              const tuner::PercentField &percent) {
    const std::optional<double> value = tuner::ReadNumber(field);
    if (!value)
        return QStringLiteral("field %1 is not a number").arg(percent.wireField);
    if (!tuner::InRange(percent, *value))
        return QStringLiteral("field %1 is not within 0 to %2")
            .arg(percent.wireField)
            .arg(percent.upperLimit);
    // The tuner sends each percentage rounded and padded to five digits; any other form of the
    // same number ("100.4", "+5", "120") is a sender that does not round or pad.
    if (!IsFiveDigits(field))
        return QStringLiteral("field %1 is not five digits").arg(percent.wireField);
    return static_cast<float>(*value);
}

// The settings a save record holds, or why a controller refuses it.
std::variant<tuner::TuningParameters, QString> ReadSave(const QString &record) {
    if (std::any_of(record.cbegin(), record.cend(), tuner::IsForeignControl))
        return QStringLiteral("a save holds a control character");
    // The window's save escapes nothing and leaves no field empty: the record is taken apart
    // at every comma, and any piece too many or too few refuses it.
    const QStringList fields = record.split(u',');
    const bool shaped =
        fields.size() == kSaveParts && fields.at(0) == u"S" && fields.last().isEmpty() &&
        std::none_of(fields.cbegin() + 1, fields.cend() - 1,
                     [](const QString &field) { return field.trimmed().isEmpty(); });
    if (!shaped)
        return QStringLiteral("a save has S, nine values and a final comma");
    tuner::TuningParameters v;
    for (const tuner::PercentField &percent : tuner::kPercents) {
        const auto value = ReadSavedPercent(fields.at(percent.wireField), percent);
        if (const QString *refusal = std::get_if<QString>(&value))
            return *refusal;
        v.*percent.value = std::get<float>(value);
    }
    for (const tuner::SwitchField &flag : tuner::kSwitches) {
        const QString &word = fields.at(flag.wireField);
        if (word != u"00000" && word != u"00001")
            return QStringLiteral("field %1 is not 00000 or 00001").arg(flag.wireField);
        v.*flag.value = word == u"00001";
    }
    return v;
}

} // namespace

QByteArray ReportOf(const tuner::TuningParameters &v) {
    return tuner::ReportRecord(v).toLatin1();
}

std::optional<tuner::TuningParameters> ParseValues(const QString &fields) {
    if (fields.split(u',').size() != kValueCount)
        return std::nullopt;
    const std::optional<tuner::TuningParameters> values =
        tuner::ParseReport(QStringLiteral("P,") + fields);
    if (!values)
        return std::nullopt;
    for (const tuner::PercentField &percent : tuner::kPercents) {
        if (!tuner::InRange(percent, static_cast<double>((*values).*percent.value)))
            return std::nullopt;
    }
    return values;
}

QString Printable(const QByteArray &bytes) {
    return tuner::PrintableText(QString::fromLatin1(bytes));
}

Controller::Result Controller::Receive(const QByteArray &bytes) {
    Result result;
    if (m_behaviour.hangupAfter > 0 && m_taken >= m_behaviour.hangupAfter)
        return result;
    // One record at a time, so that the one to hang up after is the last one taken.
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype end = bytes.indexOf('\r', at);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        const auto piece = m_records.Add(bytes.mid(at, next - at));
        at = next;
        for (int i = 0; i < piece.dropped; ++i)
            result.log.append(
                QStringLiteral("rejected: record longer than %1 bytes").arg(kMaxRecord));
        for (const QByteArray &record : piece.records)
            Handle(record, result);
        result.records += piece.ended;
        m_taken += piece.ended;
        if (m_behaviour.hangupAfter > 0 && m_taken >= m_behaviour.hangupAfter) {
            result.hangup = true;
            break;
        }
    }
    return result;
}

void Controller::Handle(const QByteArray &record, Result &result) {
    result.log.append(QStringLiteral("received: ") + Printable(record));
    if (record == "R")
        Answer(result);
    else if (record.startsWith('S'))
        Store(QString::fromLatin1(record), result);
    else
        result.log.append(QStringLiteral("ignored: not a read request or a save"));
}

void Controller::Answer(Result &result) const {
    if (m_behaviour.silent)
        return;
    QByteArray reply;
    if (m_behaviour.noise)
        reply += QByteArray(kNoise);
    reply += m_behaviour.report ? *m_behaviour.report + '\r' : ReportOf(m_behaviour.values);
    result.reply += reply;
    result.log.append(QStringLiteral("sent: ") + Printable(reply));
}

void Controller::Store(const QString &record, Result &result) {
    const std::variant<tuner::TuningParameters, QString> save = ReadSave(record);
    if (const QString *refusal = std::get_if<QString>(&save)) {
        result.log.append(QStringLiteral("rejected: ") + *refusal);
        return;
    }
    tuner::TuningParameters v = std::get<tuner::TuningParameters>(save);
    result.log.append(QStringLiteral("stored: ") + FieldsOf(v));
    if (v.GSensorCalibrate) {
        v.GSensorCalibrate = false; // carried out at once: the next report shows it done
        result.log.append(QStringLiteral("calibrated: g-sensor"));
    }
    if (!m_behaviour.forgetful)
        m_behaviour.values = v;
}

} // namespace sim
