#include "tunes/restore_points/restore_point_names.h"

#include "link/ports/comfunct.h"
#include "link/text/shown_text.h"
#include "tunes/restore_points/restore_points.h"
#include "tunes/restore_points/state_folder.h"

#include <QFileInfo>

#include <algorithm>
#include <string_view>

namespace tuner {
namespace {

// The length of the run of ASCII digits at `from`.
qsizetype DigitsAt(QStringView text, qsizetype from) {
    qsizetype end = from;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    return end - from;
}

// The value of a run of ASCII digits, at most kOrderDigits of them. By hand: Qt's conversion
// copies the text first, and ten thousand names are read before every write.
qint64 DigitsValue(QStringView digits) {
    qint64 value = 0;
    for (const QChar digit : digits)
        value = value * 10 + (digit.unicode() - u'0');
    return value;
}

// A whole number as the program writes one: digits without a leading zero, at most `most`.
std::optional<qint64> PlainNumber(QStringView text, qsizetype most) {
    if (text.isEmpty() || text.size() > most || DigitsAt(text, 0) != text.size() ||
        (text.size() > 1 && text[0] == u'0'))
        return std::nullopt;
    return DigitsValue(text);
}

bool IsStamp(QStringView text) {
    return text.size() == 16 && DigitsAt(text, 0) == 8 && text[8] == u'T' &&
           DigitsAt(text, 9) == 6 && text[15] == u'Z';
}

// Whether the text holds `ascii` at `at`: compared in place, as every name is.
bool HoldsAt(QStringView text, qsizetype at, std::string_view ascii) {
    if (at + std::ssize(ascii) > text.size())
        return false;
    for (const char c : ascii) {
        if (text[at++] != QLatin1Char(c))
            return false;
    }
    return true;
}

} // namespace

std::optional<NameParts> PartsOf(QStringView stem) {
    NameParts parts;
    const qsizetype number = DigitsAt(stem, 0);
    parts.numbered = number < stem.size() && stem[number] == u'-';
    qsizetype at = 0;
    if (parts.numbered) {
        if (number < 6 || number > kOrderDigits || (number > 6 && stem[0] == u'0'))
            return std::nullopt;
        parts.order = DigitsValue(stem.left(number));
        at = number + 1;
    }
    if (!IsStamp(stem.mid(at, 16)) || !HoldsAt(stem, at + 16, "-port"))
        return std::nullopt;
    parts.stamp = DigitsValue(stem.mid(at, 8)) * 1000000 + DigitsValue(stem.mid(at + 9, 6));
    at += 21;
    const qsizetype digits = DigitsAt(stem, at);
    const std::optional<qint64> port = PlainNumber(stem.mid(at, digits), 3);
    if (!port || *port > comfunct::kHighestPortNumber)
        return std::nullopt;
    parts.port = static_cast<qint16>(*port);
    at += digits;
    if (at == stem.size())
        return parts;
    const std::optional<qint64> within = PlainNumber(stem.mid(at + 1), kOrderDigits);
    if (parts.numbered || stem[at] != u'-' || !within || *within < 2)
        return std::nullopt;
    parts.within = static_cast<qint32>(*within);
    return parts;
}

// The digits of a whole number, at least `width` of them.
QString Digits(qint64 value, qsizetype width) {
    QString digits = QString::number(value);
    return digits.size() < width ? QString(width - digits.size(), u'0') + digits : digits;
}

QString Named::Stem() const {
    QString stem;
    stem.reserve(40);
    if (parts.numbered)
        stem += Digits(parts.order, 6) + u'-';
    stem += Digits(parts.stamp / 1000000, 8) + u'T' + Digits(parts.stamp % 1000000, 6) +
            QStringLiteral("Z-port") + QString::number(parts.port);
    if (!parts.numbered && parts.within > 1)
        stem += u'-' + QString::number(parts.within);
    return stem;
}

bool Newer(const Named &a, const Named &b) {
    if (a.parts.order != b.parts.order)
        return a.parts.order > b.parts.order;
    if (a.parts.stamp != b.parts.stamp)
        return a.parts.stamp > b.parts.stamp;
    return a.parts.within > b.parts.within;
}

void SortNewestFirst(std::vector<Named> &points) {
    std::sort(points.begin(), points.end(), Newer);
}

FolderNames NamesIn(const QString &folder) {
    FolderNames names;
    const QFileInfo about(folder);
    if (!about.exists()) {
        if (const std::optional<QString> unreachable = UnreachableFolder(folder))
            names.problem = QStringLiteral("Cannot read %1: %2")
                                .arg(EscapedText(ShownPath(folder)), *unreachable);
        return names;
    }
    if (!about.isDir() || !about.isReadable() || !about.isExecutable()) {
        names.problem =
            QStringLiteral("Cannot read %1: %2")
                .arg(ShownPath(folder), about.isDir() ? QStringLiteral("Permission denied")
                                                      : QStringLiteral("not a folder"));
        return names;
    }
    // Room for as many as a folder keeps at most: untouched room costs nothing, while growing
    // by doubling would touch twice the memory, which a virtual machine pays for by the page.
    names.points.reserve(kMostKeptRestorePoints + 1);
    ForEachEntry(folder, [&names](QStringView name, bool regular) {
        const bool json = name.endsWith(kRestorePointSuffix) && !name.startsWith(u'.');
        const std::optional<NameParts> parts =
            json ? PartsOf(name.chopped(kRestorePointSuffix.size())) : std::nullopt;
        if (parts) {
            names.points.push_back({*parts, regular});
            return;
        }
        names.rest.append(name.toString());
        if (json)
            names.others.append(name.toString());
    });
    std::sort(names.others.begin(), names.others.end());
    return names;
}

} // namespace tuner
