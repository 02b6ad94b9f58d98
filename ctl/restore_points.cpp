#include "ctl/restore_points.h"

#include "ctl/state_folder.h"
#include "link/protocol/records.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace tuner {
namespace {

const QString kSuffix = QStringLiteral(".json");

int KeptRestorePoints() {
    bool ok = false;
    const int kept = qEnvironmentVariableIntValue("DCCD_KEEP_RESTORE_POINTS", &ok);
    return ok && kept > 0 ? kept : kKeptRestorePoints;
}

std::optional<RestorePoint> ReadRestorePoint(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto parsed = ParseTuneFile(file.read(kLargestTuneFile + 1), path);
    if (!std::holds_alternative<TuneFile>(parsed))
        return std::nullopt;
    QString name = QFileInfo(path).fileName();
    name.chop(kSuffix.size());
    return RestorePoint{name, path, std::get<TuneFile>(parsed)};
}

// Newer first: by the time taken, then by the number that tells apart two taken within one
// second ("...-port1-2" after "...-port1").
bool Newer(const RestorePoint &a, const RestorePoint &b) {
    if (a.file.readAt != b.file.readAt)
        return a.file.readAt > b.file.readAt;
    if (a.name.size() != b.name.size())
        return a.name.size() > b.name.size();
    return a.name > b.name;
}

} // namespace

QString RestorePointFolder() {
    return StateFolder() + QStringLiteral("/dccd-tuner/restore-points");
}

std::variant<RestorePoint, QString> KeepRestorePoint(const TuningParameters &held, qint16 port,
                                                     const QDateTime &takenAt) {
    const QDir folder(RestorePointFolder());
    if (!folder.mkpath(QStringLiteral(".")))
        return QStringLiteral("cannot make the folder %1").arg(folder.path());
    const QDateTime utc = takenAt.toUTC();
    const QString stem =
        utc.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")) + QStringLiteral("-port%1").arg(port);
    QString name = stem;
    for (int n = 2; folder.exists(name + kSuffix); ++n)
        name = stem + QStringLiteral("-%1").arg(n); // two writes within one second
    RestorePoint point{name, folder.filePath(name + kSuffix),
                       TuneFile{TuneOf(held), {}, utc.toString(Qt::ISODate), port}};
    const QByteArray text = TuneFileText(point.file);
    QSaveFile file(point.path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush() ||
        file.error() != QFileDevice::NoError || !file.commit()) {
        file.cancelWriting();
        return QStringLiteral("cannot write %1: %2").arg(point.path, file.errorString());
    }
    // Only the newest are kept.
    const QList<RestorePoint> points = RestorePoints();
    for (qsizetype i = KeptRestorePoints(); i < points.size(); ++i)
        QFile::remove(points.at(i).path);
    return point;
}

QList<RestorePoint> RestorePoints() {
    const QDir folder(RestorePointFolder());
    QList<RestorePoint> points;
    for (const QString &name : folder.entryList({QStringLiteral("*") + kSuffix}, QDir::Files)) {
        if (std::optional<RestorePoint> point = ReadRestorePoint(folder.filePath(name)))
            points.append(*point);
    }
    std::sort(points.begin(), points.end(), Newer);
    return points;
}

std::variant<RestorePoint, QString> FindRestorePoint(const QString &name) {
    const QList<RestorePoint> points = RestorePoints();
    if (name == u"latest") {
        if (points.isEmpty())
            return QStringLiteral("there is no restore point yet (in %1)")
                .arg(RestorePointFolder());
        return points.constFirst();
    }
    const QString wanted = name.endsWith(kSuffix) ? name.chopped(kSuffix.size()) : name;
    const auto found = std::find_if(points.cbegin(), points.cend(), [&](const RestorePoint &point) {
        return point.name == wanted;
    });
    if (found == points.cend())
        return QStringLiteral(
                   "no restore point is named '%1'; 'dccd-ctl restore-points' lists them")
            .arg(name);
    return *found;
}

QString RestorePointListing(const QList<RestorePoint> &points) {
    if (points.isEmpty())
        return QStringLiteral("No restore points yet; each write keeps one in %1\n")
            .arg(RestorePointFolder());
    // One table of name, time, port and differences; a note on a line of its own below.
    QString listing;
    QList<QStringList> rows{{QStringLiteral("name"), QStringLiteral("taken (UTC)"),
                             QStringLiteral("port"), QStringLiteral("differs from the defaults")}};
    QList<QString> notes{QString()};
    for (const RestorePoint &point : points) {
        QStringList differs;
        for (const TuneDifference &difference : Differences(DefaultSettings(), point.file.tune))
            differs.append(difference.key + u' ' + difference.second);
        const QDateTime taken = QDateTime::fromString(point.file.readAt, Qt::ISODate);
        rows.append(
            {point.name,
             taken.isValid() ? taken.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : point.file.readAt,
             point.file.port != 0 ? QString::number(point.file.port) : QString(),
             differs.isEmpty() ? QStringLiteral("(none)") : differs.join(QStringLiteral(", "))});
        notes.append(point.file.note);
    }
    const QStringList lines = TextTable(rows).split(u'\n', Qt::SkipEmptyParts);
    const qsizetype indent = lines.constFirst().indexOf(QStringLiteral("taken"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        listing += lines.at(i) + u'\n';
        if (!notes.at(i).isEmpty())
            listing += QString(indent, u' ') + QStringLiteral("note: ") + notes.at(i) + u'\n';
    }
    return listing;
}

} // namespace tuner
