#include "ctl/session.h"

#include "link/text/shown_text.h"
#include "tunes/files/tune_file_io.h"
#include "tunes/restore_points/restore_points.h"

namespace tuner {

// The tune a write sends, from a tune file or a restore point, checked whole before the port is
// even opened; a restore point is told before anything is sent: its name, when and where it was
// taken, and what it undoes.
Outcome<WriteSource> Ctl::SourceOf(const Request &request, qint16 port) {
    if (request.restorePoint.isEmpty()) {
        const QString name = request.operands.value(0);
        auto file = ReadTuneFile(name);
        if (const QString *problem = std::get_if<QString>(&file))
            return CtlFailure{kExitBadFile, *problem};
        return WriteSource{
            std::get<TuneFile>(file).tune, NoteBeforeWriting(EscapedText(name)), {}, {}};
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
    for (const QString &sentence : WritingBackSaid(point, port))
        Say(sentence);
    return WriteSource{point.file.tune, NoteBeforeWritingBack(point.name), point.name,
                       std::move(std::get<RestorePointInUse>(inUse))};
}

void Ctl::Write(const Request &request) {
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
    WriteSource &from = std::get<WriteSource>(*source);

    WritePlan plan;
    plan.port = port;
    plan.tune = from.tune;
    plan.only = request.only;
    plan.calibrate = request.calibrate;
    plan.verify = request.verify;
    plan.keepRestorePoint = request.keepRestorePoint;
    plan.note = from.note;
    plan.writtenBack = from.restorePoint;
    plan.kept = std::get<int>(kept);
    auto *write = new VerifiedWrite(PortService(), DevicePaths(), m_timeout);
    m_exchanges.emplace_back(write);
    write->HoldWrittenBack(std::move(from.inUse));
    QObject::connect(write, &VerifiedWrite::Notice, write,
                     [this](const QString &sentence) { Say(sentence); });
    QObject::connect(
        write, &VerifiedWrite::Finished, write,
        [this, request, port](const WriteOutcome &outcome) { Written(outcome, request, port); });
    write->Start(plan);
}

// How the write ended, as dccd-ctl says it: the core's sentence with what to do next on the
// command line, then what pruning did.
void Ctl::Written(const WriteOutcome &outcome, const Request &request, qint16 port) {
    const auto noRestorePointHint = QStringLiteral("(--no-restore-point writes without one).");
    int code = kExitOk;
    switch (outcome.end) {
    case WriteEnd::Verified:
    case WriteEnd::Sent:
    case WriteEnd::AlreadyHeld: // asked for by a window alone
        Say(outcome.message);
        break;
    case WriteEnd::DroppedAtClose:
        code = FailNow({kExitLineLost, outcome.message});
        break;
    case WriteEnd::Mismatch:
        code = FailNow({kExitVerifyMismatch, outcome.message});
        break;
    case WriteEnd::HeldOutOfRange:
        code = FailNow({kExitBadFile, outcome.message});
        break;
    case WriteEnd::NoRestorePoint:
        code = FailNow(
            {kExitBadFile, QStringLiteral("No restore point could be kept (") + outcome.message +
                               QStringLiteral("), so nothing was written ") + noRestorePointHint});
        break;
    case WriteEnd::ExchangeFailed: {
        CtlFailure failure = WithAdvice(*outcome.problem, port);
        // A controller that was opened but could not be read before writing.
        if (outcome.stage == WriteStage::ReadingHeld &&
            outcome.problem->kind != ExchangeFailure::CannotOpen)
            failure.message += request.only.isEmpty()
                                   ? QStringLiteral("\nNo restore point could be taken, so "
                                                    "nothing was written ") +
                                         noRestorePointHint
                                   : QStringLiteral("\nNothing was written: --only sends the "
                                                    "other settings as the controller holds "
                                                    "them.");
        code = FailNow(failure);
        break;
    }
    case WriteEnd::Cancelled:
        // dccd-ctl never cancels a write; were one cancelled, nothing went out.
        code = FailNow({kExitLineLost, outcome.message});
        break;
    }
    for (const QString &line : outcome.pruned)
        Say(line);
    End(code);
}

} // namespace tuner
