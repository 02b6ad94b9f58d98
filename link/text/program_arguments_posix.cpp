#include "link/text/program_arguments.h"

#include "link/text/shown_text.h"

#include <QStringDecoder>

namespace tuner {
namespace {

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

// The argument as UTF-8, each byte that does not decode kept as kStrayByteBase plus the byte.
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

} // namespace

QStringList ProgramArguments(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(Decoded(QByteArray(argv[i])));
    return arguments;
}

} // namespace tuner
