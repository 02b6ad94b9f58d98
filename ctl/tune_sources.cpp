#include "ctl/session.h"

#include "ctl/named_files.h"
#include "link/ports/port_option.h"
#include "link/ports/port_platform.h"
#include "link/serial/serial_port_service.h"
#include "link/text/shown_text.h"

#include <QDateTime>
#include <QFile>

#include <memory>

namespace tuner {
namespace {

// One sentence with one period: the system's reason may end with its own (Windows' do).
QString Sentence(const QString &reason) {
    return reason.endsWith(u'.') ? reason : reason + u'.';
}

CtlFailure CannotRead(const QString &path, const QString &reason) {
    return {kExitBadFile,
            QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + Sentence(reason)};
}

// The path as the user gave it, shown escaped.
CtlFailure CannotWrite(const QString &path, const QString &reason) {
    return {kExitBadFile, QStringLiteral("Cannot write ") + EscapedText(path) +
                              QStringLiteral(": ") + Sentence(reason)};
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

// Opens the file a tune goes to, so that a target that cannot be written is known before the
// controller is asked for anything. The file is replaced only by WriteTune's commit. A name that is
// no UTF-8 is refused: the file would be made under another name.
std::optional<CtlFailure> OpenOutput(QSaveFile &file, const QString &name) {
    if (HasStrayBytes(name))
        return CannotWrite(name, QStringLiteral("the name is not UTF-8"));
    file.setFileName(name);
    if (const std::optional<QString> refused = NoTuneFile(name))
        return CannotWrite(name, *refused);
    if (!file.open(QIODevice::WriteOnly))
        return CannotWrite(name, file.errorString());
    return std::nullopt;
}

} // namespace

Outcome<qint16> Ctl::ChosenPort() const {
    if (m_port)
        return *m_port;
    const comfunct::PortScan scan = m_ports.Scan();
    // Without a port 1 to 16, the lowest of the higher ones (COM23 on Windows).
    if (scan.defaultPort > comfunct::kLastListedPort && !scan.unlisted.isEmpty())
        return scan.unlisted.constFirst();
    if (scan.defaultPort > comfunct::kLastListedPort)
        return CtlFailure{kExitCannotOpen,
                          QStringLiteral("No serial port exists; name one with --port N=DEVICE "
                                         "(see ") +
                              kProgram + QStringLiteral(" --list-ports).")};
    return scan.defaultPort;
}

// A failed exchange as dccd-ctl ends on it, with what to do next where the program knows more
// than the failure: which ports there are, and that a port nobody named was only a guess.
CtlFailure Ctl::WithAdvice(const ExchangeProblem &problem, qint16 port) const {
    CtlFailure failure = FailureOf(problem);
    const QString listPorts = kProgram + QStringLiteral(" --list-ports");
    if (problem.kind == ExchangeFailure::CannotOpen && m_port)
        failure.message += QStringLiteral("\n%1 shows the ports there are.").arg(listPorts);
    else if (problem.kind != ExchangeFailure::LineLost && !m_port)
        failure.message +=
            QStringLiteral("\nPort %1 was taken as the lowest port that exists; if the controller "
                           "is on another, name it with --port N (%2 shows them).")
                .arg(port)
                .arg(listPorts);
    return failure;
}

Outcome<NamedTune> Ctl::ReadPort(qint16 number) {
    const std::unique_ptr<SerialPortService> service = MakePortService(m_ports);
    ControllerConnection connection(
        *service, [this](qint16 n) { return m_ports.DevicePath(n); }, m_timeout,
        [this](const QString &notice) { Say(notice); });
    if (const auto problem = connection.Open(number))
        return WithAdvice(*problem, number);
    const auto report = connection.Read();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&report))
        return WithAdvice(*problem, number);
    return NamedTune{QStringLiteral("port ") + QString::number(number),
                     TuneFile{TuneOf(std::get<TuningParameters>(report)),
                              {},
                              QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                              number}};
}

// A tune file, found by the name it was given (its bytes, on Linux) and shown with what a
// terminal would act on escaped.
Outcome<NamedTune> Ctl::ReadFile(const QString &path) const {
    const QString shown = EscapedText(path);
    if (const std::optional<QString> refused = NoTuneFile(path))
        return CannotRead(shown, *refused);
    QFile file;
    if (const std::optional<QString> refused = OpenNamed(file, path))
        return CannotRead(shown, *refused);
    // One byte more than the largest tune file, so that a larger one is told by its size.
    const QByteArray text = file.read(kLargestTuneFile + 1);
    if (file.error() != QFileDevice::NoError)
        return CannotRead(shown, file.errorString());
    auto parsed = ParseTuneFile(text, shown);
    if (const QString *message = std::get_if<QString>(&parsed))
        return CtlFailure{kExitBadFile, *message};
    return NamedTune{shown, std::get<TuneFile>(parsed)};
}

// A tune file, "port" (the chosen port), "port:N" or "defaults".
Outcome<NamedTune> Ctl::Load(const QString &source) {
    if (source == u"defaults")
        return NamedTune{source, TuneFile{DefaultSettings(), {}, {}, 0}};
    if (source == u"port") {
        const Outcome<qint16> port = ChosenPort();
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&port))
            return *failure;
        return ReadPort(std::get<qint16>(port));
    }
    if (source.startsWith(u"port:")) {
        const std::optional<PortChoice> choice = ReadPortChoice(source.mid(5));
        if (!choice || !choice->device.isEmpty())
            return Usage(QStringLiteral("'") + EscapedText(source) +
                         QStringLiteral("' names no port: use port:N with N from 1 to %1")
                             .arg(comfunct::platform::LastPortNumber()));
        return ReadPort(choice->number);
    }
    return ReadFile(source);
}

// The tune to standard output (no file; RunCtl checks that it got there) or into the file that
// OpenOutput opened. The old file is replaced only once the whole new text is on the disk; on
// any failure it keeps its bytes.
std::optional<CtlFailure> Ctl::WriteTune(const TuneFile &tune, QSaveFile *target) {
    const QByteArray text = TuneFileText(tune);
    if (target == nullptr) {
        m_out << QString::fromUtf8(text);
        m_out.flush();
        return std::nullopt;
    }
    // The target may have become a FIFO or a device since it was opened.
    std::optional<CtlFailure> failure;
    if (const std::optional<QString> refused = NoTuneFile(target->fileName()))
        failure = CannotWrite(target->fileName(), *refused);
    // The text is buffered: a full disk shows only when it is flushed, and commit does not
    // always report it.
    else if (target->write(text) != text.size() || !target->flush() ||
             target->error() != QFileDevice::NoError || !target->commit())
        failure = CannotWrite(target->fileName(), target->errorString());
    if (failure)
        target->cancelWriting();
    return failure;
}

// Opens -o's file first, so that nothing is asked of the controller when its tune cannot be
// kept, then writes the tune `make` gives there or to standard output.
int Ctl::ToOutput(const QString &output, const std::function<Outcome<TuneFile>()> &make) {
    QSaveFile file;
    if (!output.isEmpty()) {
        if (const auto failure = OpenOutput(file, output))
            return Fail(*failure);
    }
    const Outcome<TuneFile> tune = make();
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&tune))
        return Fail(*failure);
    if (const auto failure =
            WriteTune(std::get<TuneFile>(tune), output.isEmpty() ? nullptr : &file))
        return Fail(*failure);
    return kExitOk;
}

} // namespace tuner
