#include "ctl/named_files.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tuner {

// Decoded from the wide command line, so a name in any script is found as it was typed.
QStringList ProgramArguments(int, char **) {
    return QCoreApplication::arguments();
}

NamedKind KindOfNamed(const QString &name) {
    const QFileInfo info(name);
    if (!info.exists())
        return NamedKind::Missing;
    if (info.isFile())
        return NamedKind::Regular;
    return info.isDir() ? NamedKind::Folder : NamedKind::Special;
}

std::optional<QString> OpenNamed(QFile &file, const QString &name) {
    file.setFileName(name);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return std::nullopt;
}

bool HasStrayBytes(const QString &) {
    return false;
}

} // namespace tuner
