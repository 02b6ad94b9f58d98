#include "sim/controller.h"

#include "codec/modStrings.h"
#include "link/protocol.h"

namespace sim {
namespace {

const QString kDelimiter = QStringLiteral(",");
const QString kEscape = QStringLiteral("\\");
// The empty last field of a save gives no field when split.
constexpr int kSaveFields = tuner::kSaveFieldCount - 1;

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
    return tuner::ParseReport(QStringLiteral("P,") + fields);
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
    m_pending += bytes;
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\r')) >= 0) {
        const QByteArray record = m_pending.left(end);
        m_pending.remove(0, end + 1);
        ++result.records;
        Handle(record, result);
    }
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
    const QStringList fields = modStrings::SplitFields(text, kDelimiter, kEscape, true);
    if (fields.size() != kSaveFields || fields.at(0) != u"S" || !text.endsWith(u',')) {
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

    m_behaviour.values = v;
    result.log.append(QStringLiteral("stored: ") + FieldsOf(v));
    if (m_behaviour.values.GSensorCalibrate) {
        m_behaviour.values.GSensorCalibrate =
            false; // carried out at once: the next report shows it done
        result.log.append(QStringLiteral("calibrated: g-sensor"));
    }
}

} // namespace sim
