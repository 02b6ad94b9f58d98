#include "tunes/files/named_files.h"

#include <QFileInfo>

namespace tuner {

NamedKind KindByName(const QString &name) {
    const QFileInfo info(name);
    if (!info.exists())
        return NamedKind::Missing;
    if (info.isFile())
        return NamedKind::Regular;
    return info.isDir() ? NamedKind::Folder : NamedKind::Special;
}

std::optional<QString> OpenByName(QFile &file, const QString &name) {
    file.setFileName(name);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return std::nullopt;
}

} // namespace tuner
