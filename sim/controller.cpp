#include "sim/controller.h"

#include "codec/modStrings.h"
#include "link/protocol.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

const QString kDelimiter = QStringLiteral(",");
const QString kEscape = QStringLiteral("\\");
constexpr int kValueCount = 9;
constexpr int kSaveParts = 11; // "S", nine values and the empty piece after the final comma

// A percentage a controller stores: finite, from 0 to its limit (the window clamps to these).
bool InRange(double value, std::size_t index) {
    return std::isfinite(value) && value >= 0 &&
           value <= static_cast<double>(tuner::kUpperLimits.at(index));
}

QString FieldsOf(const tuner::TuningParameters &v) {
    auto whole = [](float x) { return QString::number(static_cast<double>(x), 'g', 9); };
    auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
    return QStringList{whole(v.Accel),     whole(v.Decel),       whole(v.Turn),
                       whole(v.MaxOut),    whole(v.MinOut),      whole(v.LfbThreshold),
                       flag(v.TpsReverse), flag(v.EbrakeCutOff), flag(v.GSensorCalibrate)}
        .join(u',');
}

} // namespace

tuner::TuningParameters Behaviour::DefaultValues() {
    tuner::TuningParameters p;
    p.Accel = 100;
    p.Decel = 100;
    p.Turn = 100;
    p.MaxOut = 100;
    p.MinOut = 0;
    p.LfbThreshold = 33;
    return p;
}

QByteArray ReportOf(const tuner::TuningParameters &v) {
    QStringList fields{QStringLiteral("P"),
                       tuner::WireForm(static_cast<double>(v.Accel)),
                       tuner::WireForm(static_cast<double>(v.Decel)),
                       tuner::WireForm(static_cast<double>(v.Turn)),
                       tuner::WireForm(static_cast<double>(v.MaxOut)),
                       tuner::WireForm(static_cast<double>(v.MinOut)),
                       tuner::WireForm(static_cast<double>(v.LfbThreshold)),
                       tuner::WireForm(v.TpsReverse),
                       tuner::WireForm(v.EbrakeCutOff),
                       tuner::WireForm(v.GSensorCalibrate)};
    return (modStrings::JoinFields(fields, kDelimiter, kEscape) + u'\r').toLatin1();
}

std::optional<tuner::TuningParameters> ParseValues(const QString &fields) {
    if (fields.split(u',').size() != kValueCount)
        return std::nullopt;
    const std::optional<tuner::TuningParameters> values =
        tuner::ParseReport(QStringLiteral("P,") + fields);
    if (!values)
        return std::nullopt;
    const std::array<float, tuner::kPercentCount> percents = {values->Accel,  values->Decel,
                                                              values->Turn,   values->MaxOut,
                                                              values->MinOut, values->LfbThreshold};
    for (std::size_t i = 0; i < percents.size(); ++i) {
        if (!InRange(static_cast<double>(percents[i]), i))
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
    std::array<double, tuner::kPercentCount> percents{};
    for (int i = 0; i < tuner::kPercentCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const std::optional<double> value = tuner::ReadNumber(fields.at(i + 1));
        if (!value) {
            result.log.append(QStringLiteral("rejected: field %1 is not a number").arg(i + 1));
            return;
        }
        if (!InRange(*value, index)) {
            result.log.append(QStringLiteral("rejected: field %1 is not within 0 to %2")
                                  .arg(i + 1)
                                  .arg(tuner::kUpperLimits.at(index)));
            return;
        }
        percents[index] = *value;
    }
    std::array<bool, 3> flags{};
    for (int i = 0; i < 3; ++i) {
        const QString &flag = fields.at(7 + i);
        if (flag != u"00000" && flag != u"00001") {
            result.log.append(
                QStringLiteral("rejected: field %1 is not 00000 or 00001").arg(7 + i));
            return;
        }
        flags[static_cast<std::size_t>(i)] = flag == u"00001";
    }

    tuner::TuningParameters v = m_behaviour.values;
    v.Accel = static_cast<float>(percents[0]);
    v.Decel = static_cast<float>(percents[1]);
    v.Turn = static_cast<float>(percents[2]);
    v.MaxOut = static_cast<float>(percents[3]);
    v.MinOut = static_cast<float>(percents[4]);
    v.LfbThreshold = static_cast<float>(percents[5]);
    v.TpsReverse = flags[0];
    v.EbrakeCutOff = flags[1];
    v.GSensorCalibrate = flags[2];
    result.log.append(QStringLiteral("stored: ") + FieldsOf(v));
    if (v.GSensorCalibrate) {
        v.GSensorCalibrate = false; // carried out at once: the next report shows it done
        result.log.append(QStringLiteral("calibrated: g-sensor"));
    }
    if (!m_behaviour.forgetful)
        m_behaviour.values = v;
}

} // namespace sim
