#include "tunes/restore_points/restore_point_names.h"

#include "link/ports/comfunct.h"
#include "link/text/shown_text.h"
#include "tunes/restore_points/state_folder.h"

#include <QFileInfo>

#include <algorithm>

namespace tuner {
namespace {

// The length of the run of ASCII digits at `from`.
qsizetype DigitsAt(QStringView text, qsizetype from) {
    qsizetype end = from;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    return end - from;
}

// A whole number as the program writes one: digits without a leading zero, at most `most`.
std::optional<qint64> PlainNumber(QStringView text, qsizetype most) {
    if (text.isEmpty() || text.size() > most || DigitsAt(text, 0) != text.size() ||
        (text.size() > 1 && text[0] == u'0'))
        return std::nullopt;
    return text.toLongLong();
}

bool IsStamp(QStringView text) {
    return text.size() == 16 && DigitsAt(text, 0) == 8 && text[8] == u'T' &&
           DigitsAt(text, 9) == 6 && text[15] == u'Z';
}

} // namespace

// "000042-20261207T150412Z-port1", or an earlier version's "20261207T150412Z-port1-2", and
// nothing else: the number of six digits, more only without a leading zero, up to nine; a port
// the program numbers.
std::optional<NameParts> PartsOf(QStringView stem) {
    NameParts parts;
    const qsizetype number = DigitsAt(stem, 0);
    const bool numbered = number < stem.size() && stem[number] == u'-';
    qsizetype at = 0;
    if (numbered) {
        if (number < 6 || number > kOrderDigits || (number > 6 && stem[0] == u'0'))
            return std::nullopt;
        parts.order = stem.left(number).toLongLong();
        at = number + 1;
    }
    if (!IsStamp(stem.mid(at, 16)) || stem.mid(at + 16, 5) != u"-port")
        return std::nullopt;
    parts.stampAt = at;
    at += 21;
    const qsizetype digits = DigitsAt(stem, at);
    const std::optional<qint64> port = PlainNumber(stem.mid(at, digits), 3);
    if (!port || *port > comfunct::kHighestPortNumber)
        return std::nullopt;
    at += digits;
    if (at == stem.size())
        return parts;
    const std::optional<qint64> within = PlainNumber(stem.mid(at + 1), kOrderDigits);
    if (numbered || stem[at] != u'-' || !within || *within < 2)
        return std::nullopt;
    parts.within = *within;
    return parts;
}

// Newer first: by the number taken. Those without one are older than all numbered ones and
// keep the order their names give (the time, then the "-2" of a second within one second).
bool Newer(const Named &a, const Named &b) {
    if (a.parts.order != b.parts.order)
        return a.parts.order > b.parts.order;
    const QStringView aStamp = QStringView(a.stem).mid(a.parts.stampAt, 16);
    const QStringView bStamp = QStringView(b.stem).mid(b.parts.stampAt, 16);
    if (aStamp != bStamp)
        return aStamp > bStamp;
    return a.parts.within > b.parts.within;
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
    QList<bool> regular;
    names.all = EntryNames(folder, &regular);
    names.points.reserve(names.all.size());
    for (qsizetype i = 0; i < names.all.size(); ++i) {
        const QString &name = names.all.at(i);
        if (!name.endsWith(kRestorePointSuffix) || name.startsWith(u'.'))
            continue;
        const QStringView stem = QStringView(name).chopped(kRestorePointSuffix.size());
        if (const std::optional<NameParts> parts = PartsOf(stem))
            names.points.push_back({stem.toString(), *parts, regular.at(i)});
        else
            names.others.append(name);
    }
    std::sort(names.points.begin(), names.points.end(), Newer);
    std::sort(names.others.begin(), names.others.end());
    return names;
}

} // namespace tuner
