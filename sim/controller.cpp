#include "sim/controller.h"

#include "codec/modStrings.h"
#include "link/protocol.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

const QString kDelimiter = QStringLiteral(",");
const QString kEscape = QStringLiteral("\\");
constexpr int kValueCount = tuner::kPercentCount + tuner::kSwitchCount;
constexpr int kSaveParts = tuner::kSaveFieldCount; // "S", the values and the empty last piece

// A percentage a controller stores: finite, from 0 to its limit (the window clamps to these).
bool InRange(double value, const tuner::PercentField &percent) {
    return std::isfinite(value) && value >= 0 && value <= static_cast<double>(percent.upperLimit);
}

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

} // namespace

tuner::TuningParameters Behaviour::DefaultValues() {
    tuner::TuningParameters p;
    for (const tuner::PercentField &percent : tuner::kPercents)
        p.*percent.value =
            static_cast<float>(tuner::ReadNumber(percent.defaultText.toString()).value_or(0));
    return p;
}

QByteArray ReportOf(const tuner::TuningParameters &v) {
    QStringList fields(tuner::kReportFieldCount);
    fields[0] = QStringLiteral("P");
    for (const tuner::PercentField &percent : tuner::kPercents)
        fields[percent.wireField] = tuner::WireForm(static_cast<double>(v.*percent.value));
    for (const tuner::SwitchField &flag : tuner::kSwitches)
        fields[flag.wireField] = tuner::WireForm(v.*flag.value);
    return (modStrings::JoinFields(fields, kDelimiter, kEscape) + u'\r').toLatin1();
}

std::optional<tuner::TuningParameters> ParseValues(const QString &fields) {
    if (fields.split(u',').size() != kValueCount)
        return std::nullopt;
    const std::optional<tuner::TuningParameters> values =
        tuner::ParseReport(QStringLiteral("P,") + fields);
    if (!values)
        return std::nullopt;
    for (const tuner::PercentField &percent : tuner::kPercents) {
        if (!InRange(static_cast<double>((*values).*percent.value), percent))
            return std::nullopt;
    }
    return values;
}

QString Printable(const QByteArray &bytes) {
    QString line;
    line.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\')
            line += QStringLiteral("\\\\");
        else if (byte >= 0x20 && byte <= 0x7e)
            line += QChar(static_cast<char16_t>(byte));
        else
            line +=
                QStringLiteral("\\x") + QString::number(byte, 16).rightJustified(2, u'0').toUpper();
    }
    return line;
}

Controller::Result Controller::Receive(const QByteArray &bytes) {
    Result result;
    auto tooLong = [&result] {
        result.log.append(QStringLiteral("rejected: record longer than %1 bytes").arg(kMaxRecord));
    };
    qsizetype at = 0;
    qsizetype end = 0;
    // Each byte is looked at once, and no record is kept beyond kMaxRecord: linear in the input.
    while ((end = bytes.indexOf('\r', at)) >= 0) {
        const qsizetype length = end - at;
        if (m_discarding) {
            m_discarding = false; // the dropped record ends here: in step again
        } else if (m_pending.size() + length > kMaxRecord) {
            tooLong();
        } else {
            const QByteArray record = m_pending + bytes.mid(at, length);
            Handle(record, result);
        }
        m_pending.clear();
        ++result.records;
        at = end + 1;
    }
    if (m_discarding)
        return result;
    if (m_pending.size() + (bytes.size() - at) > kMaxRecord) {
        tooLong();
        m_pending.clear();
        m_discarding = true;
        return result;
    }
    m_pending += bytes.mid(at);
    return result;
}

void Controller::Handle(const QByteArray &record, Result &result) {
    result.log.append(QStringLiteral("received: ") + Printable(record));
    if (record == "R") {
        if (m_behaviour.silent)
            return;
        QByteArray reply;
        if (m_behaviour.noise)
            reply += QByteArray(kNoise);
        reply += m_behaviour.report ? *m_behaviour.report + '\r' : ReportOf(m_behaviour.values);
        result.reply += reply;
        result.log.append(QStringLiteral("sent: ") + Printable(reply));
        return;
    }
    if (!record.startsWith('S')) {
        result.log.append(QStringLiteral("ignored: not a read request or a save"));
        return;
    }

    const QString text = QString::fromLatin1(record);
    if (std::any_of(text.cbegin(), text.cend(), tuner::IsForeignControl)) {
        result.log.append(QStringLiteral("rejected: a save holds a control character"));
        return;
    }
    // The window's save escapes nothing and leaves no field empty: the record is taken apart
    // at every comma, and any piece too many or too few refuses it.
    const QStringList fields = text.split(u',');
    const bool shaped =
        fields.size() == kSaveParts && fields.at(0) == u"S" && fields.last().isEmpty() &&
        std::none_of(fields.cbegin() + 1, fields.cend() - 1,
                     [](const QString &field) { return field.trimmed().isEmpty(); });
    if (!shaped) {
        result.log.append(QStringLiteral("rejected: a save has S, nine values and a final comma"));
        return;
    }
    tuner::TuningParameters v;
    for (const tuner::PercentField &percent : tuner::kPercents) {
        const std::optional<double> value = tuner::ReadNumber(fields.at(percent.wireField));
        if (!value) {
            result.log.append(
                QStringLiteral("rejected: field %1 is not a number").arg(percent.wireField));
            return;
        }
        if (!InRange(*value, percent)) {
            result.log.append(QStringLiteral("rejected: field %1 is not within 0 to %2")
                                  .arg(percent.wireField)
                                  .arg(percent.upperLimit));
            return;
        }
        // The tuner sends each percentage rounded and padded to five digits; any other form of
        // the same number ("100.4", "+5", "120") is a sender that does not round or pad.
        if (!IsFiveDigits(fields.at(percent.wireField))) {
            result.log.append(
                QStringLiteral("rejected: field %1 is not five digits").arg(percent.wireField));
            return;
        }
        v.*percent.value = static_cast<float>(*value);
    }
    for (const tuner::SwitchField &flag : tuner::kSwitches) {
        const QString &word = fields.at(flag.wireField);
        if (word != u"00000" && word != u"00001") {
            result.log.append(
                QStringLiteral("rejected: field %1 is not 00000 or 00001").arg(flag.wireField));
            return;
        }
        v.*flag.value = word == u"00001";
    }

    result.log.append(QStringLiteral("stored: ") + FieldsOf(v));
    if (v.GSensorCalibrate) {
        v.GSensorCalibrate = false; // carried out at once: the next report shows it done
        result.log.append(QStringLiteral("calibrated: g-sensor"));
    }
    if (!m_behaviour.forgetful)
        m_behaviour.values = v;
}

} // namespace sim
