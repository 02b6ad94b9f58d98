#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

namespace tuner {

// Files named on the command line, found by the name the user gave. On Linux a name is bytes
// and need not be UTF-8: each byte of an argument that is no UTF-8 is kept as a character of
// its own, U+DC00 plus the byte, so that the file is opened by its bytes and its name shown with
// that byte escaped ("\xE9"). On Windows names are UTF-16 and passed as they are. Defined per
// platform (named_files_<platform>.cpp).

// The program's arguments, decoded that way.
QStringList ProgramArguments(int argc, char **argv);

// What a name leads to, following links: nothing, a regular file, a folder, a name that is a
// device wherever it stands (Windows' NUL, COM5, \\.\COM6, aux.json), or anything else (a FIFO,
// a terminal, a device file), which is never opened as a tune file nor replaced by one.
enum class NamedKind { Missing, Regular, Folder, Device, Special };
NamedKind KindOfNamed(const QString &name);

// Opens the named file for reading; the system's reason when it cannot be.
std::optional<QString> OpenNamed(QFile &file, const QString &name);

// Whether a name holds a byte that is no UTF-8, which Qt's file classes cannot be given.
bool HasStrayBytes(const QString &name);

// The two above for a name Qt's file classes can be given (named_files.cpp, for both systems).
NamedKind KindByName(const QString &name);
std::optional<QString> OpenByName(QFile &file, const QString &name);

} // namespace tuner
