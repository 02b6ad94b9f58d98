#include "ctl/ctl.h"

#include "ctl/exit_codes.h"
#include "ctl/named_files.h"
#include "ctl/restore_points.h"
#include "ctl/state_folder.h"
#include "ctl/tune_file.h"
#include "dccd_version.h"
#include "link/controller_connection.h"
#include "link/number_text.h"
#include "link/platform_port_service.h"
#include "link/port_option.h"
#include "link/port_table.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace tuner {
namespace {

const QString kProgram = QStringLiteral("dccd-ctl");
constexpr double kDefaultTimeoutSeconds = 3;
constexpr double kShortestTimeoutSeconds = 0.1;
constexpr double kLongestTimeoutSeconds = 3600;

// A tune and the name it goes by in a table ("street.json", "port 1", "defaults").
struct Side {
    QString heading;
    TuneFile file;
};

template <typename T> using Outcome = std::variant<T, CtlFailure>;

CtlFailure Usage(const QString &message) {
    return {kExitUsage,
            message + QStringLiteral("\nTry '") + kProgram + QStringLiteral(" --help'.")};
}

// One sentence with one period: the system's reason may end with its own (Windows' do).
QString Sentence(const QString &reason) {
    return reason.endsWith(u'.') ? reason : reason + u'.';
}

CtlFailure CannotRead(const QString &path, const QString &reason) {
    return {kExitBadFile,
            QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + Sentence(reason)};
}

CtlFailure CannotWrite(const QString &path, const QString &reason) {
    return {kExitBadFile,
            QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + Sentence(reason)};
}

const QString kFolder = QStringLiteral("a folder, not a tune file");

// Something that exists at the path and is neither a regular file (or a link to one) nor a
// directory (whose own message stays): a FIFO, a terminal, a device. Such a tune file is never
// opened, since opening a FIFO waits for a writer and a device can be read forever, and such a
// target is never replaced by a file: a backup written as root to /dev/null would otherwise
// replace the system's /dev/null.
bool IsSpecialFile(const QString &path) {
    return KindOfNamed(path) == NamedKind::Special;
}

const QString kNotRegular = QStringLiteral("not a regular file");

// Opens the file a tune goes to, so that a target that cannot be written is known before the
// controller is asked for anything. The file is replaced only by Emit's commit. A name that is
// no UTF-8 is refused: the file would be made under another name.
std::optional<CtlFailure> OpenOutput(QSaveFile &file, const QString &name) {
    if (HasStrayBytes(name))
        return CannotWrite(EscapedText(name), QStringLiteral("the name is not UTF-8"));
    file.setFileName(name);
    const NamedKind kind = KindOfNamed(name);
    if (kind == NamedKind::Special || kind == NamedKind::Folder)
        return CannotWrite(name, kind == NamedKind::Folder ? kFolder : kNotRegular);
    if (!file.open(QIODevice::WriteOnly))
        return CannotWrite(name, file.errorString());
    return std::nullopt;
}

// What a write sends, the note of the restore point taken before it, and the restore point it
// writes back ("" for a tune file).
struct WriteSource {
    TuningParameters tune;
    QString note;
    QString restorePoint;
};

// What the command line asks for, once it has been checked.
struct Request {
    QString command;
    QStringList operands;
    QString output;               // -o; "" for standard output
    bool calibrate = false;       // write --calibrate
    bool verify = true;           // write without --no-verify
    bool json = false;            // diff --json
    QStringList only;             // write --only: these settings alone change; empty for all
    QString restorePoint;         // write --restore-point NAME|latest; "" to write a file
    bool keepRestorePoint = true; // write without --no-restore-point
};

// Every option, and which command takes which.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption listPorts{QStringLiteral("list-ports")};
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("N")};
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    QCommandLineOption timeout{QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS")};
    QCommandLineOption calibrate{QStringLiteral("calibrate")};
    QCommandLineOption noVerify{QStringLiteral("no-verify")};
    QCommandLineOption only{QStringLiteral("only"), QString(), QStringLiteral("KEYS")};
    QCommandLineOption restorePoint{QStringLiteral("restore-point"), QString(),
                                    QStringLiteral("NAME")};
    QCommandLineOption noRestorePoint{QStringLiteral("no-restore-point")};
    QCommandLineOption json{QStringLiteral("json")};

    QList<const QCommandLineOption *> ForCommands() const {
        return {&port, &output,       &timeout,        &calibrate, &noVerify,
                &only, &restorePoint, &noRestorePoint, &json};
    }
};

// A command, how many operands it takes and which options.
struct Shape {
    const char16_t *name;
    qsizetype fewest;
    qsizetype most;
    QList<const QCommandLineOption *> options;
};

const QString kCommands = QStringLiteral("read, write, diff, defaults or restore-points");

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
    int Print(const QString &text) {
        m_out << text;
        m_out.flush();
        return kExitOk;
    }

    // The command line, step by step: what ends at once (help, version, the port list, a
    // mistake), the general options, then the command with its operands and options.
    std::optional<CtlFailure> RepeatedOption(const QCommandLineParser &parser) const;
    std::optional<int> TakeGeneralOptions(const QCommandLineParser &parser);
    std::variant<Request, CtlFailure> TakeCommand(const QCommandLineParser &parser) const;
    int Carry(const Request &request);

    std::optional<CtlFailure> ApplyPortOptions(const QStringList &values);
    Outcome<qint16> ChosenPort() const;
    CtlFailure Told(const ExchangeProblem &problem, qint16 port) const;
    Outcome<Side> ReadPort(qint16 number);
    Outcome<Side> ReadFile(const QString &path) const;
    Outcome<Side> Load(const QString &source);
    std::optional<CtlFailure> Emit(const TuneFile &file, QSaveFile *target);

    int ToOutput(const QString &output, const std::function<Outcome<TuneFile>()> &make);
    int Read(const QString &output);
    Outcome<WriteSource> SourceOf(const Request &request, qint16 port);
    Outcome<TuningParameters> BeforeSending(ControllerConnection &connection,
                                            const Request &request, const WriteSource &source,
                                            qint16 port, std::optional<RestorePoint> &taken);
    int SaveAndVerify(ControllerConnection &connection, const TuningParameters &sent,
                      const Request &request, qint16 port);
    int Write(const Request &request);
    int ListRestorePoints();
    int Diff(const QString &first, const QString &second, bool json);
    int Defaults(const QString &output);

    QTextStream &m_out;
    QTextStream &m_err;
    Options m_options;
    comfunct::PortTable m_ports;  // numbers to devices, with the --port replacements
    std::optional<qint16> m_port; // the first --port; the lowest existing port when absent
    std::chrono::milliseconds m_timeout{static_cast<int>(kDefaultTimeoutSeconds * 1000)};
};

std::optional<CtlFailure> Ctl::ApplyPortOptions(const QStringList &values) {
    // The first --port is the choice, as in the window.
    if (const std::optional<QString> refusal = ApplyPortChoices(values, m_ports, m_port))
        return Usage(*refusal);
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

// A failed exchange as dccd-ctl ends on it, with what to do next where the program knows more
// than the failure: which ports there are, and that a port nobody named was only a guess.
CtlFailure Ctl::Told(const ExchangeProblem &problem, qint16 port) const {
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

Outcome<Side> Ctl::ReadPort(qint16 number) {
    const std::unique_ptr<SerialPortService> service = MakePortService(m_ports);
    ControllerConnection connection(
        *service, [this](qint16 n) { return m_ports.DevicePath(n); }, m_timeout,
        [this](const QString &notice) { Say(notice); });
    if (const auto problem = connection.Open(number))
        return Told(*problem, number);
    const auto report = connection.Read();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&report))
        return Told(*problem, number);
    return Side{QStringLiteral("port ") + QString::number(number),
                TuneFile{TuneOf(std::get<TuningParameters>(report)),
                         {},
                         QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                         number}};
}

// A tune file, found by the name it was given (its bytes, on Linux) and shown with what a
// terminal would act on escaped.
Outcome<Side> Ctl::ReadFile(const QString &path) const {
    const QString shown = EscapedText(path);
    const NamedKind kind = KindOfNamed(path);
    if (kind == NamedKind::Special || kind == NamedKind::Folder)
        return CannotRead(shown, kind == NamedKind::Folder ? kFolder : kNotRegular);
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
    return Side{shown, std::get<TuneFile>(parsed)};
}

// A tune file, "port" (the chosen port), "port:N" or "defaults".
Outcome<Side> Ctl::Load(const QString &source) {
    if (source == u"defaults")
        return Side{source, TuneFile{DefaultTune(), {}, {}, 0}};
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
std::optional<CtlFailure> Ctl::Emit(const TuneFile &tune, QSaveFile *target) {
    const QByteArray text = TuneFileText(tune);
    if (target == nullptr) {
        m_out << QString::fromUtf8(text);
        m_out.flush();
        return std::nullopt;
    }
    // The target may have become a FIFO or a device since it was opened.
    std::optional<CtlFailure> failure;
    if (IsSpecialFile(target->fileName()))
        failure = CannotWrite(target->fileName(), kNotRegular);
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
    if (const auto failure = Emit(std::get<TuneFile>(tune), output.isEmpty() ? nullptr : &file))
        return Fail(*failure);
    return kExitOk;
}

int Ctl::Read(const QString &output) {
    return ToOutput(output, [this]() -> Outcome<TuneFile> {
        const Outcome<Side> read = Load(QStringLiteral("port"));
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&read))
            return *failure;
        const TuneFile &tune = std::get<Side>(read).file;
        for (const PercentField &percent : kPercents) {
            const float value = tune.tune.*percent.value;
            if (value < 0 || value > static_cast<float>(percent.upperLimit))
                Say(QStringLiteral("the controller holds %1 for %2, outside 0 to %3: write "
                                   "refuses the file until the value is changed.")
                        .arg(WholeText(value), percent.fileKey.toString())
                        .arg(percent.upperLimit));
        }
        return tune;
    });
}

int Ctl::Defaults(const QString &output) {
    return ToOutput(output, [] { return Outcome<TuneFile>(TuneFile{DefaultTune(), {}, {}, 0}); });
}

// The settings of `wanted` named in `only`, the others as `held`.
TuningParameters OnlySome(const TuningParameters &held, const TuningParameters &wanted,
                          const QStringList &only) {
    TuningParameters tune = held;
    for (const PercentField &percent : kPercents) {
        if (only.contains(percent.fileKey.toString()))
            tune.*percent.value = wanted.*percent.value;
    }
    for (const SwitchField &flag : kSwitches) {
        if (!flag.fileKey.isEmpty() && only.contains(flag.fileKey.toString()))
            tune.*flag.value = wanted.*flag.value;
    }
    return tune;
}

// The tune a write sends, from a tune file or a restore point, checked whole before the port is
// even opened; a restore point is told before anything is sent: its name, when and where it was
// taken, and what it undoes.
Outcome<WriteSource> Ctl::SourceOf(const Request &request, qint16 port) {
    if (request.restorePoint.isEmpty()) {
        const Outcome<Side> file = ReadFile(request.operands.value(0));
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&file))
            return *failure;
        const Side &side = std::get<Side>(file);
        return WriteSource{side.file.tune, NoteBeforeWriting(side.heading), {}};
    }
    auto found = FindRestorePoint(request.restorePoint, port);
    if (const QString *problem = std::get_if<QString>(&found))
        return CtlFailure{kExitBadFile, *problem};
    const RestorePoint &point = std::get<RestorePoint>(found);
    if (!point.outOfRange.isEmpty())
        return CtlFailure{kExitBadFile,
                          QStringLiteral("the restore point %1 holds %2; the controller takes "
                                         "no such value, so it cannot be written back")
                              .arg(EscapedText(point.name), point.outOfRange)};
    Say(QStringLiteral("writing back the restore point %1, taken %2 from port %3")
            .arg(EscapedText(point.name), TakenText(point))
            .arg(point.file.port));
    if (point.file.port != port)
        Say(QStringLiteral("it was taken from port %1, not from port %2, where it goes now")
                .arg(point.file.port)
                .arg(port));
    if (const QString undone = WrittenBackAfter(point); !undone.isEmpty())
        Say(QStringLiteral("it was taken just before the restore point %1 was written back: "
                           "this undoes that write-back")
                .arg(EscapedText(undone)));
    return WriteSource{point.file.tune, NoteBeforeWritingBack(point.name), point.name};
}

// What the controller holds, read once before a write: kept as a restore point, and the
// settings that --only leaves alone are sent back as they are. The tune to send, or why nothing
// is sent.
Outcome<TuningParameters> Ctl::BeforeSending(ControllerConnection &connection,
                                             const Request &request, const WriteSource &source,
                                             qint16 port, std::optional<RestorePoint> &taken) {
    if (!request.keepRestorePoint && request.only.isEmpty())
        return source.tune;
    const auto held = connection.Read();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&held)) {
        CtlFailure failure = Told(*problem, port);
        failure.message += request.only.isEmpty()
                               ? QStringLiteral("\nNo restore point could be taken, so nothing "
                                                "was written (--no-restore-point writes "
                                                "without one).")
                               : QStringLiteral("\nNothing was written: --only sends the other "
                                                "settings as the controller holds them.");
        return failure;
    }
    const TuningParameters before = TuneOf(std::get<TuningParameters>(held));
    // Only a record the window could send goes out: a held value outside its range is not
    // sent back.
    if (const QString outside = OutOfRange(before, request.only);
        !request.only.isEmpty() && !outside.isEmpty())
        return CtlFailure{
            kExitBadFile,
            QStringLiteral("port %1 holds %2; write a whole tune instead").arg(port).arg(outside)};
    if (request.keepRestorePoint) {
        auto kept = KeepRestorePoint(before, port, QDateTime::currentDateTimeUtc(), source.note);
        if (const QString *problem = std::get_if<QString>(&kept))
            return CtlFailure{kExitBadFile, QStringLiteral("No restore point could be kept (") +
                                                *problem +
                                                QStringLiteral("), so nothing was written "
                                                               "(--no-restore-point writes without "
                                                               "one).")};
        taken = std::get<RestorePoint>(kept);
        Say(QStringLiteral("restore point %1 keeps what port %2 held")
                .arg(taken->name, connection.PortName()));
    }
    return request.only.isEmpty() ? source.tune : OnlySome(before, source.tune, request.only);
}

// Sends the tune and, unless told not to, reads it back and compares.
int Ctl::SaveAndVerify(ControllerConnection &connection, const TuningParameters &sent,
                       const Request &request, qint16 port) {
    if (const auto problem = connection.Save(SaveRecordOf(sent, request.calibrate)))
        return Fail(Told(*problem, port));
    if (!request.verify) {
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
        return Fail(Told(*problem, port));
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

int Ctl::Write(const Request &request) {
    // A number of restore points to keep that is not understood stops the write at once.
    const auto kept = KeptRestorePoints();
    if (const QString *refused = std::get_if<QString>(&kept))
        return Fail({kExitUsage, *refused});
    // A tune file is checked before a port is chosen; "latest" needs the port.
    std::optional<Outcome<WriteSource>> source;
    if (request.restorePoint.isEmpty())
        source = SourceOf(request, 0);
    if (source && std::holds_alternative<CtlFailure>(*source))
        return Fail(std::get<CtlFailure>(*source));
    const Outcome<qint16> chosen = ChosenPort();
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&chosen))
        return Fail(*failure);
    const qint16 port = std::get<qint16>(chosen);
    if (!source)
        source = SourceOf(request, port);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&*source))
        return Fail(*failure);

    const std::unique_ptr<SerialPortService> service = MakePortService(m_ports);
    ControllerConnection connection(
        *service, [this](qint16 n) { return m_ports.DevicePath(n); }, m_timeout,
        [this](const QString &notice) { Say(notice); });
    if (const auto problem = connection.Open(port))
        return Fail(Told(*problem, port));
    std::optional<RestorePoint> taken;
    const Outcome<TuningParameters> sent =
        BeforeSending(connection, request, std::get<WriteSource>(*source), port, taken);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&sent))
        return Fail(*failure);
    const int code = SaveAndVerify(connection, std::get<TuningParameters>(sent), request, port);
    // Only once the write has ended are the oldest let go: never the one it took nor the one
    // it wrote back.
    if (taken) {
        for (const QString &line : PruneRestorePoints(
                 std::get<int>(kept), {taken->name, std::get<WriteSource>(*source).restorePoint}))
            Say(line);
    }
    return code;
}

int Ctl::Diff(const QString &first, const QString &second, bool json) {
    const Outcome<Side> a = Load(first);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&a))
        return Fail(*failure);
    const Outcome<Side> b = Load(second);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&b))
        return Fail(*failure);
    const Side &left = std::get<Side>(a);
    const Side &right = std::get<Side>(b);
    // The settings decide whether the tunes are equal; a note that differs is shown as such.
    QList<TuneDifference> differences = Differences(left.file.tune, right.file.tune);
    const bool equal = differences.isEmpty();
    if (const auto note = NoteDifference(left.file, right.file))
        differences.append(*note);
    if (json)
        Print(QString::fromUtf8(DifferenceJson(differences, left.heading, right.heading, equal)));
    else if (!differences.isEmpty())
        Print(DifferenceTable(differences, left.heading, right.heading));
    return equal ? kExitOk : kExitDifferent;
}

// The listing, and exit code 5 when the folder, or a file in it, cannot be read: a restore
// point that is there but unseen must not pass for none.
int Ctl::ListRestorePoints() {
    const RestorePointShelf shelf = ReadRestorePoints();
    if (!shelf.problem.isEmpty())
        return Fail({kExitBadFile, shelf.problem + u'.'});
    Print(RestorePointListing(shelf));
    int code = kExitOk;
    for (const SkippedEntry &skipped : shelf.skipped) {
        if (!skipped.unreadable)
            continue;
        Say(QStringLiteral("Cannot read %1%2.")
                .arg(QDir::toNativeSeparators(shelf.folder + u'/' + EscapedText(skipped.name)),
                     skipped.reason));
        code = kExitBadFile;
    }
    return code;
}

// Every option but --port (repeatable by design) and --only (whose lists are merged) is given
// once: a second --timeout or -o silently winning over the first would do what was not asked.
std::optional<CtlFailure> Ctl::RepeatedOption(const QCommandLineParser &parser) const {
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption *option : m_options.ForCommands()) {
        if (option == &m_options.port || option == &m_options.only)
            continue;
        const auto times =
            std::count_if(given.cbegin(), given.cend(),
                          [option](const QString &name) { return option->names().contains(name); });
        if (times > 1)
            return Usage(QStringLiteral("--%1 is given %2 times; give it once")
                             .arg(option->names().constLast())
                             .arg(times));
    }
    return std::nullopt;
}

std::optional<int> Ctl::TakeGeneralOptions(const QCommandLineParser &parser) {
    if (parser.isSet(m_options.help))
        return Print(CtlHelp());
    if (parser.isSet(m_options.version))
        return Print(kProgram + u' ' + QStringLiteral(DCCD_VERSION) + u'\n');
    if (const auto failure = ApplyPortOptions(parser.values(m_options.port)))
        return Fail(*failure);
    if (parser.isSet(m_options.listPorts)) {
        if (!parser.positionalArguments().isEmpty())
            return Fail(Usage(QStringLiteral("--list-ports takes no command, not '") +
                              parser.positionalArguments().constFirst() + u'\''));
        return Print(PortListing(m_ports));
    }
    if (parser.isSet(m_options.timeout)) {
        const std::optional<double> seconds = ReadDecimal(parser.value(m_options.timeout));
        if (!seconds || *seconds < kShortestTimeoutSeconds || *seconds > kLongestTimeoutSeconds)
            return Fail(Usage(QStringLiteral("--timeout wants seconds from %1 up to %2, not '")
                                  .arg(kShortestTimeoutSeconds)
                                  .arg(kLongestTimeoutSeconds) +
                              parser.value(m_options.timeout) + u'\''));
        m_timeout = std::chrono::milliseconds(std::lround(*seconds * 1000));
    }
    return std::nullopt;
}

std::variant<Request, CtlFailure> Ctl::TakeCommand(const QCommandLineParser &parser) const {
    const Options &o = m_options;
    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return Usage(QStringLiteral("a command is missing: ") + kCommands);
    Request request;
    request.command = words.takeFirst();
    request.operands = words;

    const QList<Shape> shapes = {
        {u"read", 0, 0, {&o.port, &o.timeout, &o.output}},
        {u"write",
         0,
         1,
         {&o.port, &o.timeout, &o.calibrate, &o.noVerify, &o.only, &o.restorePoint,
          &o.noRestorePoint}},
        {u"diff", 2, 2, {&o.port, &o.timeout, &o.json}},
        {u"defaults", 0, 0, {&o.output}},
        {u"restore-points", 0, 0, {}},
    };
    const auto shape = std::find_if(shapes.cbegin(), shapes.cend(),
                                    [&](const Shape &s) { return request.command == s.name; });
    if (shape == shapes.cend())
        return Usage(QStringLiteral("unknown command '") + request.command + QStringLiteral("': ") +
                     kCommands);
    for (const QCommandLineOption *option : o.ForCommands()) {
        if (parser.isSet(*option) && !shape->options.contains(option))
            return Usage(QStringLiteral("--") + option->names().constLast() +
                         QStringLiteral(" does not go with ") + request.command);
    }
    request.restorePoint = parser.value(o.restorePoint);
    const qsizetype wanted =
        request.command == u"write" ? (parser.isSet(o.restorePoint) ? 0 : 1) : shape->fewest;
    if (words.size() < shape->fewest || words.size() > shape->most || words.size() != wanted) {
        if (request.command == u"write")
            return Usage(parser.isSet(o.restorePoint)
                             ? QStringLiteral("write --restore-point takes no file")
                             : QStringLiteral("write wants one file, or --restore-point NAME"));
        return Usage(request.command + (shape->most == 0 ? QStringLiteral(" takes no file")
                                                         : QStringLiteral(" wants two tunes")));
    }
    if (parser.isSet(o.restorePoint) && request.restorePoint.isEmpty())
        return Usage(QStringLiteral("--restore-point wants a name from 'dccd-ctl restore-points', "
                                    "or latest"));

    // Standard output is the tune's place without -o; an empty name is no file.
    if (parser.isSet(o.output) && parser.value(o.output).isEmpty())
        return Usage(QStringLiteral("--output wants a file name; without it the tune goes to "
                                    "standard output"));
    request.output = parser.value(o.output);
    request.calibrate = parser.isSet(o.calibrate);
    request.verify = !parser.isSet(o.noVerify);
    request.json = parser.isSet(o.json);
    request.keepRestorePoint = !parser.isSet(o.noRestorePoint);
    if (parser.isSet(o.only)) {
        const QStringList keys = SettingKeys();
        const QString lists = parser.values(o.only).join(u',');
        for (const QString &key : lists.split(u',', Qt::SkipEmptyParts)) {
            if (!keys.contains(key.trimmed())) {
                const QString nearest = NearestKey(key.trimmed(), keys);
                return Usage(QStringLiteral("--only: '%1' is no setting; ").arg(key) +
                             (nearest.isEmpty() ? QStringLiteral("the settings are ") +
                                                      keys.join(QStringLiteral(","))
                                                : QStringLiteral("did you mean %1?").arg(nearest)));
            }
            if (!request.only.contains(key.trimmed()))
                request.only.append(key.trimmed());
        }
        if (request.only.isEmpty())
            return Usage(QStringLiteral("--only wants the settings to change, e.g. "
                                        "--only turning,tps_reverse"));
    }
    return request;
}

int Ctl::Carry(const Request &request) {
    if (request.command == u"read")
        return Read(request.output);
    if (request.command == u"write")
        return Write(request);
    if (request.command == u"diff")
        return Diff(request.operands.at(0), request.operands.at(1), request.json);
    if (request.command == u"restore-points")
        return ListRestorePoints();
    return Defaults(request.output);
}

int Ctl::Run(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.addOptions({m_options.help, m_options.version, m_options.listPorts});
    for (const QCommandLineOption *option : m_options.ForCommands())
        parser.addOption(*option);
    if (!parser.parse(arguments))
        return Fail(Usage(parser.errorText()));
    if (const auto repeated = RepeatedOption(parser))
        return Fail(*repeated);
    if (const std::optional<int> ended = TakeGeneralOptions(parser))
        return *ended;
    auto request = TakeCommand(parser);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&request))
        return Fail(*failure);
    return Carry(std::get<Request>(request));
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
               "  write FILE          check FILE, keep what the controller holds as a restore\n"
               "                      point, store FILE in the controller, read it back and\n"
               "                      compare\n"
               "  write --restore-point NAME|latest\n"
               "                      the same with a restore point instead of a file; latest\n"
               "                      is the one taken last from the port written\n"
               "  diff A B            show the settings that differ; A and B are tune files,\n"
               "                      defaults, or port (the chosen port) or port:N for a\n"
               "                      controller\n"
               "  defaults [-o FILE]  print the default tune (what the window's Default loads)\n"
               "  restore-points      list the restore points, the one taken last first\n"
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
               "  --only KEYS         write: change only these settings (comma-separated keys,\n"
               "                      repeatable); the others are sent back as the controller\n"
               "                      holds them\n"
               "  --no-restore-point  write: keep no restore point first\n"
               "  --json              diff: print the differences as JSON\n"
               "  --list-ports        list ports 1 to 16 with their devices and end\n"
               "  -h, --help          show this help and end\n"
               "  --version           show the version and end\n"
               "\n"
               "A tune file is JSON; 'dccd-ctl defaults' prints one. Percentages are whole "
               "numbers\n"
               "(0 to 200 for acceleration, deceleration and turning, 0 to 100 for the others).\n"
               "Each key is given once, and a tune file is a regular file of at most 1 MiB. An\n"
               "optional \"note\" is free text; read fills in \"read_at\" and \"port\".\n"
               "Restore points are kept in %1 (the last 50;\n"
               "DCCD_KEEP_RESTORE_POINTS=N keeps N, from 1 to 10000). Every option but\n"
               "--port and --only is given once.\n"
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
               "  7  the line was lost\n")
        .arg(QDir::toNativeSeparators(QLatin1String(kStateFolderShown) +
                                      QStringLiteral("/dccd-tuner/restore-points")));
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
