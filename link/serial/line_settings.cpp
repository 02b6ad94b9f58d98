#include "link/serial/line_settings.h"

#include <QStringList>

namespace tuner {
namespace {

constexpr qint64 kLowestBaud = 50;
constexpr qint64 kHighestBaud = 4000000;

// A whole decimal number of ASCII digits only (no sign, no blanks inside), or nothing.
std::optional<qint64> ReadWhole(QStringView text) {
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

QString Reason(const QString &text, const QString &why) {
    return QStringLiteral("bad line settings \"%1\": %2").arg(text, why);
}

} // namespace

std::variant<LineSettings, QString> ParseLineSettings(const QString &text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return Reason(text, QStringLiteral("expected baud,parity,data bits,stop bits"));

    LineSettings settings;
    const std::optional<qint64> baud = ReadWhole(parts.at(0).trimmed());
    if (!baud || *baud < kLowestBaud || *baud > kHighestBaud)
        return Reason(text, QStringLiteral("baud must be a whole number from 50 to 4000000"));
    settings.baud = static_cast<qint32>(*baud);

    const QString parity = parts.at(1).trimmed().toUpper();
    if (parity == u"N")
        settings.parity = LineSettings::Parity::None;
    else if (parity == u"E")
        settings.parity = LineSettings::Parity::Even;
    else if (parity == u"O")
        settings.parity = LineSettings::Parity::Odd;
    else if (parity == u"M")
        settings.parity = LineSettings::Parity::Mark;
    else if (parity == u"S")
        settings.parity = LineSettings::Parity::Space;
    else
        return Reason(text, QStringLiteral("parity must be N, E, O, M or S"));

    const std::optional<qint64> dataBits = ReadWhole(parts.at(2).trimmed());
    if (!dataBits || *dataBits < 5 || *dataBits > 8)
        return Reason(text, QStringLiteral("data bits must be 5, 6, 7 or 8"));
    settings.dataBits = static_cast<int>(*dataBits);

    const QString stop = parts.at(3).trimmed();
    if (stop == u"1")
        settings.stopBits = LineSettings::StopBits::One;
    else if (stop == u"1.5" && settings.dataBits == 5)
        settings.stopBits = LineSettings::StopBits::OneAndHalf;
    else if (stop == u"2")
        settings.stopBits = LineSettings::StopBits::Two;
    else if (stop == u"1.5")
        return Reason(text, QStringLiteral("1.5 stop bits need 5 data bits"));
    else
        return Reason(text, QStringLiteral("stop bits must be 1, 1.5 or 2"));
    return settings;
}

} // namespace tuner
