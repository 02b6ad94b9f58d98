#include "tunes/files/named_files.h"

#include "link/text/shown_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tuner {
namespace {

// The bytes the name was given with.
QByteArray Bytes(const QString &name) {
    QByteArray bytes;
    QString run;
    for (const QChar c : name) {
        if (IsStrayByte(c)) {
            bytes += run.toUtf8();
            run.clear();
            bytes += static_cast<char>(c.unicode() - kStrayByteBase);
        } else {
            run += c;
        }
    }
    return bytes + run.toUtf8();
}

} // namespace

NamedKind KindOfNamed(const QString &name) {
    if (!HasStrayBytes(name))
        return KindByName(name);
    struct stat info {};
    if (::stat(Bytes(name).constData(), &info) != 0)
        return NamedKind::Missing;
    if (S_ISREG(info.st_mode))
        return NamedKind::Regular;
    return S_ISDIR(info.st_mode) ? NamedKind::Folder : NamedKind::Special;
}

std::optional<QString> OpenNamed(QFile &file, const QString &name) {
    if (!HasStrayBytes(name))
        return OpenByName(file, name);
    const int descriptor = ::open(Bytes(name).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return file.errorString();
    return std::nullopt;
}

bool HasStrayBytes(const QString &name) {
    return std::any_of(name.cbegin(), name.cend(), IsStrayByte);
}

} // namespace tuner
