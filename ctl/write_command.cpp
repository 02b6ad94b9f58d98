#include "ctl/session.h"

#include "ctl/shown_text.h"
#include "ctl/tune_differences.h"
#include "link/serial/serial_port_service.h"

#include <QDateTime>

#include <memory>

namespace tuner {

namespace {

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

} // namespace

// The tune a write sends, from a tune file or a restore point, checked whole before the port is
// even opened; a restore point is told before anything is sent: its name, when and where it was
// taken, and what it undoes.
Outcome<WriteSource> Ctl::SourceOf(const Request &request, qint16 port) {
    if (request.restorePoint.isEmpty()) {
        const Outcome<NamedTune> file = ReadFile(request.operands.value(0));
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&file))
            return *failure;
        const NamedTune &side = std::get<NamedTune>(file);
        return WriteSource{side.file.tune, NoteBeforeWriting(side.heading), {}, {}};
    }
    auto found = FindRestorePoint(request.restorePoint, port);
    if (const QString *problem = std::get_if<QString>(&found))
        return CtlFailure{kExitBadFile, *problem};
    const RestorePoint &point = std::get<RestorePoint>(found);
    // Held in use before anything is said of it: no prune removes it while it is written back.
    auto inUse = HoldRestorePoint(point.name);
    if (const QString *problem = std::get_if<QString>(&inUse))
        return CtlFailure{kExitBadFile, *problem};
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
    return WriteSource{point.file.tune, NoteBeforeWritingBack(point.name), point.name,
                       std::move(std::get<RestorePointInUse>(inUse))};
}

// What the controller holds, read once before a write: kept as a restore point, and the
// settings that --only leaves alone are sent back as they are. The tune to send, or why nothing
// is sent.
Outcome<TuningParameters> Ctl::BeforeSending(ControllerConnection &connection,
                                             const Request &request, const WriteSource &source,
                                             qint16 port, std::optional<KeptRestorePoint> &taken) {
    if (!request.keepRestorePoint && request.only.isEmpty())
        return source.tune;
    const auto held = connection.Read();
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&held)) {
        CtlFailure failure = WithAdvice(*problem, port);
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
        taken = std::move(std::get<KeptRestorePoint>(kept));
        Say(QStringLiteral("restore point %1 keeps what port %2 held")
                .arg(taken->point.name, connection.PortName()));
    }
    return request.only.isEmpty() ? source.tune : OnlySome(before, source.tune, request.only);
}

// Sends the tune and, unless told not to, reads it back and compares.
int Ctl::SaveAndVerify(ControllerConnection &connection, const TuningParameters &sent,
                       const Request &request, qint16 port) {
    if (const auto problem = connection.Save(SaveRecordOf(sent, request.calibrate)))
        return Fail(WithAdvice(*problem, port));
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
        return Fail(WithAdvice(*problem, port));
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
        return Fail(WithAdvice(*problem, port));
    std::optional<KeptRestorePoint> taken;
    const Outcome<TuningParameters> sent =
        BeforeSending(connection, request, std::get<WriteSource>(*source), port, taken);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&sent))
        return Fail(*failure);
    const int code = SaveAndVerify(connection, std::get<TuningParameters>(sent), request, port);
    // Only once the write has ended are the oldest let go: never the one it took nor the one
    // it wrote back, which it still holds in use, nor those other writes hold.
    if (taken) {
        for (const QString &line : PruneRestorePoints(std::get<int>(kept)))
            Say(line);
    }
    return code;
}

} // namespace tuner
