// How restore points are shown: the time one was taken, and the listing.

#include "tunes/restore_points/restore_points.h"

#include "link/text/shown_text.h"
#include "tunes/files/tune_differences.h"
#include "tunes/restore_points/state_folder.h"

#include <QDateTime>

namespace tuner {

QString TakenText(const RestorePoint &point) {
    const QDateTime taken = QDateTime::fromString(point.file.readAt, Qt::ISODate);
    return taken.isValid() ? taken.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                                 QStringLiteral(" UTC")
                           : EscapedText(point.file.readAt);
}

QStringList WritingBackSaid(const RestorePoint &point, qint16 port) {
    QStringList said{QStringLiteral("writing back the restore point %1, taken %2 from port %3")
                         .arg(EscapedText(point.name), TakenText(point))
                         .arg(point.file.port)};
    if (point.file.port != port)
        said.append(QStringLiteral("it was taken from port %1, not from port %2, where it goes now")
                        .arg(point.file.port)
                        .arg(port));
    if (const QString undone = WrittenBackAfter(point); !undone.isEmpty())
        said.append(QStringLiteral("it was taken just before the restore point %1 was written "
                                   "back: this undoes that write-back")
                        .arg(EscapedText(undone)));
    return said;
}

QString RestorePointListing(const RestorePointShelf &shelf) {
    QString listing;
    if (shelf.points.isEmpty())
        listing = QStringLiteral("No restore points yet; each write keeps one in %1\n")
                      .arg(ShownPath(shelf.folder));
    // One table of name, time, port and differences; the note, and what keeps the restore
    // point from being written back, on lines of their own below.
    QList<QStringList> rows{{QStringLiteral("name"), QStringLiteral("taken"),
                             QStringLiteral("port"), QStringLiteral("differs from the defaults")}};
    QList<QStringList> below{{}};
    const TuningParameters defaults = DefaultSettings();
    for (const RestorePoint &point : shelf.points) {
        QStringList differs;
        for (const TuneDifference &difference : Differences(defaults, point.file.tune))
            differs.append(difference.key + u' ' + difference.second);
        rows.append(
            {EscapedText(point.name), TakenText(point),
             point.file.port != 0 ? QString::number(point.file.port) : QString(),
             differs.isEmpty() ? QStringLiteral("(none)") : differs.join(QStringLiteral(", "))});
        QStringList lines;
        if (!point.file.note.isEmpty())
            lines.append(QStringLiteral("note: ") + EscapedText(point.file.note));
        if (!point.outOfRange.isEmpty())
            lines.append(point.outOfRange + QStringLiteral(": cannot be written back"));
        below.append(lines);
    }
    if (!shelf.points.isEmpty()) {
        const QStringList table = TextTable(rows).split(u'\n', Qt::SkipEmptyParts);
        const QString indent(table.constFirst().indexOf(QStringLiteral("taken")), u' ');
        for (qsizetype i = 0; i < table.size(); ++i) {
            listing += table.at(i) + u'\n';
            for (const QString &line : below.at(i))
                listing += indent + line + u'\n';
        }
    }
    for (const SkippedEntry &skipped : shelf.skipped)
        listing += QStringLiteral("skipped %1%2\n")
                       .arg(EscapedText(skipped.name), EscapedText(skipped.reason));
    return listing;
}

} // namespace tuner
