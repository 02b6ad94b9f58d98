#include "sim/controller.h"

#include "codec/modStrings.h"
#include "link/protocol.h"

namespace sim {
namespace {

const QString kDelimiter = QStringLiteral(",");
const QString kEscape = QStringLiteral("\\");
constexpr int kSaveFields = 10; // the empty last field of a save gives no field when split

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
    std::array<double, tuner::kPercentCount> percents{};
    for (int i = 0; i < tuner::kPercentCount; ++i) {
        const std::optional<double> value = tuner::ReadNumber(fields.at(i + 1));
        if (!value) {
            result.log.append(QStringLiteral("rejected: field %1 is not a number").arg(i + 1));
            return;
        }
        percents[static_cast<std::size_t>(i)] = *value;
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
