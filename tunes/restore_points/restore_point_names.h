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

// What a restore point's name says, which is all it says: the name is written again from its
// parts, so ten thousand names are kept in a few bytes each, with no string of their own.
struct NameParts {
    qint64 order = 0;  // the number it was taken under; 0 for a name an earlier version gave
    qint64 stamp = 0;  // the time's fourteen digits, 20261207150412 for 20261207T150412Z
    qint32 within = 1; // an earlier version's "-2": which of those taken within one second
    qint16 port = 0;
    bool numbered = false;

    bool operator==(const NameParts &) const = default;
};

// "000042-20261207T150412Z-port1", or an earlier version's "20261207T150412Z-port1-2", and
// nothing else: the number of six digits, more only without a leading zero, up to nine; a port
// the program numbers. Each part has one way to be written, so the name is its parts.
std::optional<NameParts> PartsOf(QStringView stem);

// A restore point known by its name alone.
struct Named {
    NameParts parts;
    bool regular = false; // a regular file, as the listing told: no need to look

    QString Stem() const; // the file's name without ".json"
    QString Name() const { return Stem() + kRestorePointSuffix; }
};

// Newer first: by the number taken. Those without one are older than all numbered ones and
// keep the order their names give (the time, then the "-2" of a second within one second).
bool Newer(const Named &a, const Named &b);

// The folder's entries by name: the restore points in the order the system lists them (sorting
// ten thousand is left to those that need the order), the other names of files that end in
// ".json" (hidden ones aside), and every name there that is no restore point (lock files too).
struct FolderNames {
    std::vector<Named> points;
    QStringList others;
    QStringList rest;
    QString problem; // why the folder cannot be read; "" when it can, or is not there yet
};

// Every entry of the folder by name, or why the folder cannot be read.
FolderNames NamesIn(const QString &folder);

void SortNewestFirst(std::vector<Named> &points);

} // namespace tuner
