#include "ctl/ctl.h"

#include "ctl/exit_codes.h"
#include "ctl/tune_file.h"
#include "dccd_version.h"
#include "link/controller_connection.h"
#include "link/number_text.h"
#include "link/port_option.h"
#include "link/port_table.h"
#include "link/qt_serial_port_service.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <optional>
#include <variant>

namespace tuner {
namespace {

const QString kProgram = QStringLiteral("dccd-ctl");
constexpr double kDefaultTimeoutSeconds = 3;
constexpr double kShortestTimeoutSeconds = 0.1;
constexpr double kLongestTimeoutSeconds = 3600;

// A tune and the name it goes by in a table ("street.json", "port 1").
struct Side {
    QString heading;
    TuningParameters tune;
};

template <typename T> using Outcome = std::variant<T, CtlFailure>;

CtlFailure Usage(const QString &message) {
    return {kExitUsage,
            message + QStringLiteral("\nTry '") + kProgram + QStringLiteral(" --help'.")};
}

CtlFailure CannotRead(const QString &path, const QString &reason) {
    return {kExitBadFile,
            QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + reason + u'.'};
}

CtlFailure CannotWrite(const QString &path, const QString &reason) {
    return {kExitBadFile,
            QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + reason + u'.'};
}

// Something that exists at the path and is neither a regular file (or a link to one) nor a
// directory (whose own message stays): a FIFO, a terminal, a device. Such a tune file is never
// opened, since opening a FIFO waits for a writer and a device can be read forever, and such a
// target is never replaced by a file: a backup written as root to /dev/null would otherwise
// replace the system's /dev/null.
bool IsSpecialFile(const QString &path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

const QString kNotRegular = QStringLiteral("not a regular file");

// Opens the file a tune goes to, so that a target that cannot be written is known before the
// controller is asked for anything. The file is replaced only by Emit's commit.
std::optional<CtlFailure> OpenOutput(QSaveFile &file) {
    if (IsSpecialFile(file.fileName()))
        return CannotWrite(file.fileName(), kNotRegular);
    if (!file.open(QIODevice::WriteOnly))
        return CannotWrite(file.fileName(), file.errorString());
    return std::nullopt;
}

class Ctl {
public:
    Ctl(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

    int Run(const QStringList &arguments);

private:
    void Say(const QString &message) {
        m_err << kProgram << ": " << message << '\n';
        m_err.flush();
    }
    int Fail(const CtlFailure &failure) {
        Say(failure.message);
        return failure.exitCode;
    }

    std::optional<CtlFailure> ApplyPortOptions(const QStringList &values);
    Outcome<qint16> ChosenPort() const;
    Outcome<Side> ReadPort(qint16 number);
    Outcome<Side> ReadFile(const QString &path) const;
    Outcome<Side> Load(const QString &source);
    std::optional<CtlFailure> Emit(const TuningParameters &tune, QSaveFile *file);

    int Read(const QString &output);
    int Write(const QString &path, bool calibrate, bool verify);
    int Diff(const QString &first, const QString &second);
    int Defaults(const QString &output);

    QTextStream &m_out;
    QTextStream &m_err;
    comfunct::PortTable m_ports;  // numbers to devices, with the --port replacements
    std::optional<qint16> m_port; // the first --port; the lowest existing port when absent
    std::chrono::milliseconds m_timeout{static_cast<int>(kDefaultTimeoutSeconds * 1000)};
};

std::optional<CtlFailure> Ctl::ApplyPortOptions(const QStringList &values) {
    QList<PortChoice> choices;
    for (const QString &value : values) {
        const std::optional<PortChoice> choice = ReadPortChoice(value);
        if (!choice)
            return Usage(QStringLiteral("--port wants N or N=DEVICE with N from 1 to 16, not '") +
                         value + u'\'');
        choices.append(*choice);
    }
    for (const PortChoice &choice : choices) {
        if (!choice.device.isEmpty())
            m_ports.SetDevicePath(choice.number, choice.device);
        if (!m_port)
            m_port = choice.number; // the first --port is the choice, as in the window
    }
    return std::nullopt;
}

Outcome<qint16> Ctl::ChosenPort() const {
    if (m_port)
        return *m_port;
    const comfunct::PortScan scan = m_ports.Scan();
    if (scan.defaultPort > comfunct::kLastPort)
        return CtlFailure{kExitCannotOpen,
                          QStringLiteral("No serial port exists; name one with --port N=DEVICE "
                                         "(see ") +
                              kProgram + QStringLiteral(" --list-ports).")};
    return scan.defaultPort;
}

Outcome<Side> Ctl::ReadPort(qint16 number) {
    QtSerialPortService service(m_ports);
    ControllerConnection connection(
        service, [this](qint16 n) { return m_ports.DevicePath(n); }, m_timeout,
        [this](const QString &notice) { Say(notice); });
    if (const auto problem = connection.Open(number))
        return FailureOf(*problem);
    const auto report = connection.Read();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&report))
        return FailureOf(*problem);
    return Side{QStringLiteral("port ") + QString::number(number),
                TuneOf(std::get<TuningParameters>(report))};
}

Outcome<Side> Ctl::ReadFile(const QString &path) const {
    if (IsSpecialFile(path))
        return CannotRead(path, kNotRegular);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CannotRead(path, file.errorString());
    // One byte more than the largest tune file, so that a larger one is told by its size.
    const QByteArray text = file.read(kLargestTuneFile + 1);
    if (file.error() != QFileDevice::NoError)
        return CannotRead(path, file.errorString());
    auto parsed = ParseTuneFile(text, path);
    if (const QString *message = std::get_if<QString>(&parsed))
        return CtlFailure{kExitBadFile, *message};
    return Side{path, std::get<TuningParameters>(parsed)};
}

// A tune file, "port" (the chosen port) or "port:N".
Outcome<Side> Ctl::Load(const QString &source) {
    if (source == u"port") {
        const Outcome<qint16> port = ChosenPort();
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&port))
            return *failure;
        return ReadPort(std::get<qint16>(port));
    }
    if (source.startsWith(u"port:")) {
        const std::optional<PortChoice> choice = ReadPortChoice(source.mid(5));
        if (!choice || !choice->device.isEmpty())
            return Usage(QStringLiteral("'") + source +
                         QStringLiteral("' names no port: use port:N with N from 1 to 16"));
        return ReadPort(choice->number);
    }
    return ReadFile(source);
}

// The tune to standard output (no file; RunCtl checks that it got there) or into the file that
// OpenOutput opened. The old file is replaced only once the whole new text is on the disk; on
// any failure it keeps its bytes.
std::optional<CtlFailure> Ctl::Emit(const TuningParameters &tune, QSaveFile *file) {
    const QByteArray text = TuneFileText(tune);
    if (file == nullptr) {
        m_out << QString::fromUtf8(text);
        m_out.flush();
        return std::nullopt;
    }
    // The target may have become a FIFO or a device since it was opened.
    std::optional<CtlFailure> failure;
    if (IsSpecialFile(file->fileName()))
        failure = CannotWrite(file->fileName(), kNotRegular);
    // The text is buffered: a full disk shows only when it is flushed, and commit does not
    // always report it.
    else if (file->write(text) != text.size() || !file->flush() ||
             file->error() != QFileDevice::NoError || !file->commit())
        failure = CannotWrite(file->fileName(), file->errorString());
    if (failure)
        file->cancelWriting();
    return failure;
}

int Ctl::Read(const QString &output) {
    // Nothing is asked of the controller when its tune cannot be kept.
    QSaveFile file(output);
    if (!output.isEmpty()) {
        if (const auto failure = OpenOutput(file))
            return Fail(*failure);
    }
    const Outcome<Side> read = Load(QStringLiteral("port"));
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&read))
        return Fail(*failure);
    const TuningParameters &tune = std::get<Side>(read).tune;
    for (const PercentField &percent : kPercents) {
        const float value = tune.*percent.value;
        if (value < 0 || value > static_cast<float>(percent.upperLimit))
            Say(QStringLiteral("the controller holds %1 for %2, outside 0 to %3: write refuses "
                               "the file until the value is changed.")
                    .arg(WholeText(value), percent.fileKey.toString())
                    .arg(percent.upperLimit));
    }
    if (const auto failure = Emit(tune, output.isEmpty() ? nullptr : &file))
        return Fail(*failure);
    return kExitOk;
}

int Ctl::Defaults(const QString &output) {
    QSaveFile file(output);
    if (!output.isEmpty()) {
        if (const auto failure = OpenOutput(file))
            return Fail(*failure);
    }
    if (const auto failure = Emit(DefaultTune(), output.isEmpty() ? nullptr : &file))
        return Fail(*failure);
    return kExitOk;
}

int Ctl::Write(const QString &path, bool calibrate, bool verify) {
    // The whole file is checked before the port is even opened.
    const Outcome<Side> file = ReadFile(path);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&file))
        return Fail(*failure);
    const TuningParameters &sent = std::get<Side>(file).tune;
    const Outcome<qint16> port = ChosenPort();
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&port))
        return Fail(*failure);

    QtSerialPortService service(m_ports);
    ControllerConnection connection(
        service, [this](qint16 n) { return m_ports.DevicePath(n); }, m_timeout,
        [this](const QString &notice) { Say(notice); });
    if (const auto problem = connection.Open(std::get<qint16>(port)))
        return Fail(FailureOf(*problem));
    if (const auto problem = connection.Save(SaveRecordOf(sent, calibrate)))
        return Fail(FailureOf(*problem));
    if (!verify) {
        // Sent means taken by the line: a save still queued when the close gave up was lost.
        if (!connection.Close())
            return Fail({kExitLineLost, QStringLiteral("the save did not reach the line of port ") +
                                            connection.PortName() +
                                            QStringLiteral(": it was dropped at the close.")});
        Say(QStringLiteral("sent to port ") + connection.PortName() +
            QStringLiteral("; not verified"));
        return kExitOk;
    }
    const auto report = connection.Read();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&report))
        return Fail(FailureOf(*problem));
    const QList<TuneDifference> differences =
        Differences(sent, TuneOf(std::get<TuningParameters>(report)));
    if (!differences.isEmpty()) {
        Say(QStringLiteral("verify failed: port ") + connection.PortName() +
            QStringLiteral(" does not hold what was sent:\n") +
            DifferenceTable(differences, QStringLiteral("sent"), QStringLiteral("controller holds"))
                .chopped(1));
        return kExitVerifyMismatch;
    }
    Say(QStringLiteral("saved and verified on port ") + connection.PortName());
    return kExitOk;
}

int Ctl::Diff(const QString &first, const QString &second) {
    const Outcome<Side> a = Load(first);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&a))
        return Fail(*failure);
    const Outcome<Side> b = Load(second);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&b))
        return Fail(*failure);
    const Side &left = std::get<Side>(a);
    const Side &right = std::get<Side>(b);
    const QList<TuneDifference> differences = Differences(left.tune, right.tune);
    if (differences.isEmpty())
        return kExitOk;
    m_out << DifferenceTable(differences, left.heading, right.heading);
    m_out.flush();
    return kExitDifferent;
}

int Ctl::Run(const QStringList &arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption listPorts(QStringLiteral("list-ports"), QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("N"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(),
                                     QStringLiteral("SECONDS"));
    const QCommandLineOption calibrate(QStringLiteral("calibrate"), QString());
    const QCommandLineOption noVerify(QStringLiteral("no-verify"), QString());
    parser.addOptions({help, version, listPorts, port, output, timeout, calibrate, noVerify});
    if (!parser.parse(arguments))
        return Fail(Usage(parser.errorText()));
    if (parser.isSet(help)) {
        m_out << CtlHelp();
        m_out.flush();
        return kExitOk;
    }
    if (parser.isSet(version)) {
        m_out << kProgram << ' ' << QStringLiteral(DCCD_VERSION) << '\n';
        m_out.flush();
        return kExitOk;
    }
    if (const auto failure = ApplyPortOptions(parser.values(port)))
        return Fail(*failure);
    if (parser.isSet(listPorts)) {
        if (!parser.positionalArguments().isEmpty())
            return Fail(Usage(QStringLiteral("--list-ports takes no command, not '") +
                              parser.positionalArguments().constFirst() + u'\''));
        m_out << PortListing(m_ports);
        m_out.flush();
        return kExitOk;
    }
    if (parser.isSet(timeout)) {
        const std::optional<double> seconds = ReadDecimal(parser.value(timeout));
        if (!seconds || *seconds < kShortestTimeoutSeconds || *seconds > kLongestTimeoutSeconds)
            return Fail(Usage(QStringLiteral("--timeout wants seconds from %1 up to %2, not '")
                                  .arg(kShortestTimeoutSeconds)
                                  .arg(kLongestTimeoutSeconds) +
                              parser.value(timeout) + u'\''));
        m_timeout = std::chrono::milliseconds(std::lround(*seconds * 1000));
    }

    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return Fail(Usage(QStringLiteral("a command is missing: read, write, diff or defaults")));
    const QString command = words.takeFirst();

    // Which command takes how many arguments and which of the options.
    struct Shape {
        const char16_t *name;
        qsizetype arguments;
        QList<const QCommandLineOption *> options;
    };
    const QList<Shape> shapes = {
        {u"read", 0, {&port, &timeout, &output}},
        {u"write", 1, {&port, &timeout, &calibrate, &noVerify}},
        {u"diff", 2, {&port, &timeout}},
        {u"defaults", 0, {&output}},
    };
    const auto shape = std::find_if(shapes.cbegin(), shapes.cend(),
                                    [&](const Shape &s) { return command == s.name; });
    if (shape == shapes.cend())
        return Fail(Usage(QStringLiteral("unknown command '") + command +
                          QStringLiteral("': read, write, diff or defaults")));
    if (words.size() != shape->arguments)
        return Fail(
            Usage(command + (shape->arguments == 0   ? QStringLiteral(" takes no file")
                             : shape->arguments == 1 ? QStringLiteral(" wants one file")
                                                     : QStringLiteral(" wants two tunes"))));
    for (const QCommandLineOption *option : {&port, &output, &timeout, &calibrate, &noVerify}) {
        if (parser.isSet(*option) && !shape->options.contains(option))
            return Fail(Usage(QStringLiteral("--") + option->names().constLast() +
                              QStringLiteral(" does not go with ") + command));
    }

    // Standard output is the tune's place without -o; an empty name is no file.
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return Fail(Usage(QStringLiteral("--output wants a file name; without it the tune goes "
                                         "to standard output")));

    if (command == u"read")
        return Read(parser.value(output));
    if (command == u"write")
        return Write(words.at(0), parser.isSet(calibrate), !parser.isSet(noVerify));
    if (command == u"diff")
        return Diff(words.at(0), words.at(1));
    return Defaults(parser.value(output));
}

} // namespace

QString CtlHelp() {
    return QStringLiteral(
        "Usage: dccd-ctl COMMAND [options]\n"
        "Backs up, restores, verifies and compares the tune of a DCCD controller.\n"
        "\n"
        "Commands:\n"
        "  read [-o FILE]      read the controller's settings into a tune file (standard\n"
        "                      output without -o)\n"
        "  write FILE          check FILE, store it in the controller, read it back and\n"
        "                      compare\n"
        "  diff A B            show the settings that differ; A and B are tune files, or\n"
        "                      port (the chosen port) or port:N for a controller\n"
        "  defaults [-o FILE]  print the default tune (what the window's Default loads)\n"
        "\n"
        "Options:\n"
        "  --port N            use port N (1 to 16) of the port table; without --port the\n"
        "                      lowest port that exists is used\n"
        "  --port N=DEVICE     use DEVICE as port N for this run and pick it (repeatable;\n"
        "                      the first --port is picked)\n"
        "  --timeout SECONDS   how long to wait for the controller's answer (0.1 to 3600,\n"
        "                      default 3)\n"
        "  -o, --output FILE   write the tune to FILE instead of standard output; FILE is\n"
        "                      replaced only once all of it is written, and never when it\n"
        "                      is a device or a FIFO\n"
        "  --calibrate         write: also ask the controller to calibrate its G-sensor\n"
        "  --no-verify         write: only send, do not read back\n"
        "  --list-ports        list ports 1 to 16 with their devices and end\n"
        "  -h, --help          show this help and end\n"
        "  --version           show the version and end\n"
        "\n"
        "A tune file is JSON; 'dccd-ctl defaults' prints one. Percentages are whole numbers\n"
        "(0 to 200 for acceleration, deceleration and turning, 0 to 100 for the others).\n"
        "Each key is given once, and a tune file is a regular file of at most 1 MiB.\n"
        "\n"
        "Exit codes:\n"
        "  0  success; diff: the tunes are equal\n"
        "  1  diff: the tunes differ\n"
        "  2  usage error\n"
        "  3  the port cannot be opened\n"
        "  4  no answer from the controller in time\n"
        "  5  the tune file is not valid, or cannot be read or written; or standard\n"
        "     output cannot be written\n"
        "  6  verify failed: the controller does not hold what was written\n"
        "  7  the line was lost\n");
}

int RunCtl(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    const int code = Ctl(out, err).Run(arguments);
    // What went to standard output counts only once it got there: a full disk or a closed
    // descriptor shows at the flush, or at the close of a file.
    out.flush();
    bool written = out.status() == QTextStream::Ok;
    QString reason = out.device() != nullptr ? out.device()->errorString() : QString();
    if (auto *file = qobject_cast<QFileDevice *>(out.device()); file != nullptr && written) {
        file->close();
        written = file->error() == QFileDevice::NoError;
        reason = file->errorString();
    }
    if (written || (code != kExitOk && code != kExitDifferent))
        return code;
    err << kProgram << ": Cannot write standard output: " << reason << ".\n";
    err.flush();
    return kExitBadFile;
}

} // namespace tuner
