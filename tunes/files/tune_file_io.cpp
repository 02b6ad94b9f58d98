#include "tunes/files/tune_file_io.h"

#include "link/exchange/port_messages.h"
#include "tunes/files/named_files.h"
#include "tunes/files/shown_text.h"

#include <QFile>

namespace tuner {
namespace {

QString CannotRead(const QString &name, const QString &reason) {
    return QStringLiteral("Cannot read ") + name + QStringLiteral(": ") + ReasonSentence(reason);
}

QString CannotWrite(const QString &name, const QString &reason) {
    return QStringLiteral("Cannot write ") + name + QStringLiteral(": ") + ReasonSentence(reason);
}

// Why what a name leads to is no tune file, for anything but a regular file or nothing:
// a folder, a device name (on Windows), or something else that exists and is neither a regular
// file (or a link to one) nor a folder, such as a FIFO, a terminal or a device file. Such a
// tune file is never opened, since opening a FIFO waits for a writer and a device can be read
// forever (a serial port may reset the board behind it), and such a target is never replaced
// by a file: a backup written as root to /dev/null would otherwise replace the system's
// /dev/null.
std::optional<QString> NoTuneFile(const QString &name) {
    switch (KindOfNamed(name)) {
    case NamedKind::Folder:
        return QStringLiteral("a folder, not a tune file");
    case NamedKind::Device:
        return QStringLiteral("a device, not a tune file");
    case NamedKind::Special:
        return QStringLiteral("not a regular file");
    case NamedKind::Missing:
    case NamedKind::Regular:
        break;
    }
    return std::nullopt;
}

} // namespace

std::variant<TuneFile, QString> ReadTuneFile(const QString &name) {
    const QString shown = EscapedText(name);
    if (const std::optional<QString> refused = NoTuneFile(name))
        return CannotRead(shown, *refused);
    QFile file;
    if (const std::optional<QString> refused = OpenNamed(file, name))
        return CannotRead(shown, *refused);
    // One byte more than the largest tune file, so that a larger one is told by its size.
    const QByteArray text = file.read(kLargestTuneFile + 1);
    if (file.error() != QFileDevice::NoError)
        return CannotRead(shown, file.errorString());
    return ParseTuneFile(text, shown);
}

// A name that is no UTF-8 is refused: the file would be made under another name.
std::optional<QString> TuneFileTarget::Open(const QString &name) {
    if (HasStrayBytes(name))
        return CannotWrite(EscapedText(name), QStringLiteral("the name is not UTF-8"));
    m_file.setFileName(name);
    if (const std::optional<QString> refused = NoTuneFile(name))
        return CannotWrite(EscapedText(name), *refused);
    if (!m_file.open(QIODevice::WriteOnly))
        return CannotWrite(EscapedText(name), m_file.errorString());
    return std::nullopt;
}

std::optional<QString> TuneFileTarget::Commit(const TuneFile &tune) {
    const QByteArray text = TuneFileText(tune);
    const QString shown = EscapedText(m_file.fileName());
    // The target may have become a FIFO or a device since it was opened.
    std::optional<QString> failure;
    if (const std::optional<QString> refused = NoTuneFile(m_file.fileName()))
        failure = CannotWrite(shown, *refused);
    // The text is buffered: a full disk shows only when it is flushed, and commit does not
    // always report it.
    else if (m_file.write(text) != text.size() || !m_file.flush() ||
             m_file.error() != QFileDevice::NoError || !m_file.commit())
        failure = CannotWrite(shown, m_file.errorString());
    if (failure)
        m_file.cancelWriting();
    return failure;
}

} // namespace tuner
