#pragma once

// What the names in the folder of restore points say, from the names alone: which entries are
// restore points, their numbers and their order. For restore_points.cpp.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace tuner {

inline const QString kRestorePointSuffix = QStringLiteral(".json");
// A restore point's number has six digits, more only without a leading zero, up to this many.
inline constexpr qsizetype kOrderDigits = 9;

// What a restore point's name says: its number (0 for a name an earlier version gave), the
// time and, for an earlier version's, which of those taken within one second it is.
struct NameParts {
    qint64 order = 0;
    qsizetype stampAt = 0; // where the time starts in the name
    qint64 within = 1;
};

// "000042-20261207T150412Z-port1", or an earlier version's "20261207T150412Z-port1-2", and
// nothing else: the number of six digits, more only without a leading zero, up to nine; a port
// the program numbers.
std::optional<NameParts> PartsOf(QStringView stem);

// A restore point known by its name alone.
struct Named {
    QString stem; // the file's name without ".json"
    NameParts parts;
    bool regular = false; // a regular file, as the listing told: no need to look
};

// Newer first: by the number taken. Those without one are older than all numbered ones and
// keep the order their names give (the time, then the "-2" of a second within one second).
bool Newer(const Named &a, const Named &b);

// The folder's entries by name: the restore points newest first, the other names of files that
// end in ".json" (hidden ones aside), and every name there (lock files too).
struct FolderNames {
    std::vector<Named> points;
    QStringList others;
    QStringList all;
    QString problem; // why the folder cannot be read; "" when it can, or is not there yet
};

// Every entry of the folder by name, or why the folder cannot be read.
FolderNames NamesIn(const QString &folder);

} // namespace tuner
