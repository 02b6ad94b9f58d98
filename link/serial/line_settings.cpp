#include "link/serial/line_settings.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace tuner {
namespace {

constexpr qint64 kLowestBaud = 50;
constexpr qint64 kHighestBaud = 4000000;

// The letter of each parity in the text form, both ways.
struct ParityLetter {
    char16_t letter;
    LineSettings::Parity parity;
};
constexpr ParityLetter kParityLetters[] = {
    {u'N', LineSettings::Parity::None},  {u'E', LineSettings::Parity::Even},
    {u'O', LineSettings::Parity::Odd},   {u'M', LineSettings::Parity::Mark},
    {u'S', LineSettings::Parity::Space},
};

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

QString LineSettingsText(const LineSettings &settings) {
    const auto parity =
        std::find_if(std::cbegin(kParityLetters), std::cend(kParityLetters),
                     [&](const ParityLetter &p) { return p.parity == settings.parity; });
    QString stop = QStringLiteral("1");
    if (settings.stopBits == LineSettings::StopBits::OneAndHalf)
        stop = QStringLiteral("1.5");
    else if (settings.stopBits == LineSettings::StopBits::Two)
        stop = QStringLiteral("2");
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baud)
        .arg(QChar(parity->letter))
        .arg(settings.dataBits)
        .arg(stop);
}

std::variant<LineSettings, QString> ParseLineSettings(const QString &text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return Reason(text, QStringLiteral("expected baud,parity,data bits,stop bits"));

    LineSettings settings;
    const std::optional<qint64> baud = ReadWhole(parts.at(0).trimmed());
    if (!baud || *baud < kLowestBaud || *baud > kHighestBaud)
        return Reason(text, QStringLiteral("baud must be a whole number from 50 to 4000000"));
    settings.baud = static_cast<qint32>(*baud);

    const QString letter = parts.at(1).trimmed().toUpper();
    const auto parity =
        std::find_if(std::cbegin(kParityLetters), std::cend(kParityLetters),
                     [&](const ParityLetter &p) { return letter == QChar(p.letter); });
    if (parity == std::cend(kParityLetters))
        return Reason(text, QStringLiteral("parity must be N, E, O, M or S"));
    settings.parity = parity->parity;

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
