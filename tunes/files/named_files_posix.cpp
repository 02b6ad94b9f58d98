#include "tunes/files/named_files.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tuner {
namespace {

constexpr char16_t kStrayByteBase = 0xDC00; // U+DC00 + byte (0x80 to 0xFF): a lone surrogate

// How many bytes the UTF-8 sequence that starts with this byte has; 0 for a byte no sequence
// starts with.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    return (lead & 0xF8) == 0xF0 ? 4 : 0;
}

// The argument as UTF-8, each byte that does not decode kept as U+DC00 plus the byte.
QString Decoded(const QByteArray &bytes) {
    QString decoded;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = SequenceLength(static_cast<unsigned char>(bytes.at(at)));
        QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString piece = length > 0 && at + length <= bytes.size()
                                  ? QString(strict.decode(bytes.mid(at, length)))
                                  : QString();
        if (piece.isEmpty() || strict.hasError()) {
            decoded += QChar(kStrayByteBase + static_cast<unsigned char>(bytes.at(at)));
            ++at;
        } else {
            decoded += piece;
            at += length;
        }
    }
    return decoded;
}

// The bytes the name was given with.
QByteArray Bytes(const QString &name) {
    QByteArray bytes;
    QString run;
    for (const QChar c : name) {
        if (c.unicode() >= kStrayByteBase + 0x80 && c.unicode() <= kStrayByteBase + 0xFF) {
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

QStringList ProgramArguments(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(Decoded(QByteArray(argv[i])));
    return arguments;
}

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
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.unicode() >= kStrayByteBase + 0x80 && c.unicode() <= kStrayByteBase + 0xFF;
    });
}

} // namespace tuner
