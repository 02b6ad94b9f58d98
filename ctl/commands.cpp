#include "ctl/session.h"

#include "dccd_version.h"
#include "link/text/shown_text.h"
#include "tunes/files/tune_differences.h"
#include "tunes/files/tune_file_io.h"
#include "tunes/restore_points/restore_points.h"

#include <QDir>

namespace tuner {
namespace {

// The tune goes to -o's file, or to standard output (where RunCtl checks that it got there).
std::optional<CtlFailure> Deliver(const TuneFile &tune, TuneFileTarget *target, QTextStream &out) {
    if (target == nullptr) {
        out << QString::fromUtf8(TuneFileText(tune));
        out.flush();
        return std::nullopt;
    }
    if (const std::optional<QString> failed = target->Commit(tune))
        return CtlFailure{kExitBadFile, *failed};
    return std::nullopt;
}

// A check ends as a read would have: 0 only when a report came.
int CheckExit(CheckVerdict verdict) {
    switch (verdict) {
    case CheckVerdict::Report:
        return kExitOk;
    case CheckVerdict::CannotOpen:
        return kExitCannotOpen;
    case CheckVerdict::LineLost:
        return kExitLineLost;
    case CheckVerdict::NothingAnswered:
    case CheckVerdict::NotAReport:
    case CheckVerdict::OwnRequestBack:
        break;
    }
    return kExitNoAnswer;
}

} // namespace

// -o's file is opened first, so that nothing is asked of the controller when its tune cannot
// be kept.
void Ctl::Read(const Request &request) {
    auto target = std::make_shared<TuneFileTarget>();
    if (!request.output.isEmpty()) {
        if (const std::optional<QString> refused = target->Open(request.output))
            return Fail({kExitBadFile, *refused});
    }
    const bool toFile = !request.output.isEmpty();
    Load(QStringLiteral("port"), [this, target, toFile](const Outcome<NamedTune> &read) {
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&read))
            return Fail(*failure);
        const TuneFile &tune = std::get<NamedTune>(read).file;
        for (const PercentField *percent : PercentsOutOfRange(tune.tune))
            Say(QStringLiteral("the controller holds %1 for %2, outside 0 to %3: write "
                               "refuses the file until the value is changed.")
                    .arg(WholeText(tune.tune.*percent->value), percent->fileKey.toString())
                    .arg(percent->upperLimit));
        if (const auto failure = Deliver(tune, toFile ? target.get() : nullptr, m_out))
            return Fail(*failure);
        End(kExitOk);
    });
}

// A read whose tune is kept as a restore point; it fails as a read fails.
void Ctl::BackUp(const Request &) {
    const auto kept = KeptRestorePoints();
    if (const QString *refused = std::get_if<QString>(&kept))
        return Fail({kExitUsage, *refused});
    const Outcome<qint16> chosen = ChosenPort();
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&chosen))
        return Fail(*failure);
    const qint16 port = std::get<qint16>(chosen);
    auto *backup = new Backup(PortService(), DevicePaths(), m_timeout);
    m_exchanges.emplace_back(backup);
    QObject::connect(backup, &Backup::Waiting, backup,
                     [this](const QString &notice) { Say(notice); });
    QObject::connect(backup, &Backup::Finished, backup,
                     [this, port](const BackupOutcome &outcome) { BackedUp(outcome, port); });
    backup->Start(port, std::get<int>(kept));
}

void Ctl::BackedUp(const BackupOutcome &outcome, qint16 port) {
    switch (outcome.end) {
    case BackupEnd::ExchangeFailed:
        return Fail(WithAdvice(*outcome.problem, port));
    case BackupEnd::NoRestorePoint:
        return Fail({kExitBadFile, outcome.message});
    case BackupEnd::Kept:
        break;
    }
    Say(outcome.message);
    if (!outcome.kept->outOfRange.isEmpty())
        Say(QStringLiteral("it holds %1: the controller takes no such value, so it cannot be "
                           "written back")
                .arg(outcome.kept->outOfRange));
    for (const QString &line : outcome.pruned)
        Say(line);
    End(kExitOk);
}

// The report goes to standard output whole, headed by the program and the system, ready for a
// support request.
void Ctl::Check(const Request &) {
    const Outcome<qint16> chosen = ChosenPort();
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&chosen))
        return Fail(*failure);
    const qint16 port = std::get<qint16>(chosen);
    auto *check = new ConnectionCheck(
        PortService(), [this](qint16 n) { return m_ports.Describe(n); }, m_timeout);
    m_exchanges.emplace_back(check);
    QObject::connect(check, &ConnectionCheck::Finished, check,
                     [this, port](const ConnectionReport &report) { Checked(report, port); });
    check->Start(port);
}

void Ctl::Checked(const ConnectionReport &report, qint16 port) {
    Print(ProgramAndSystem(kProgram, QStringLiteral(DCCD_VERSION)) + u'\n' + report.Text());
    const int code = CheckExit(report.verdict);
    if (code != kExitOk && !m_port)
        Say(QStringLiteral("port %1 was taken as the lowest port that exists; if the controller "
                           "is on another, name it with --port N (%2 --list-ports shows them).")
                .arg(port)
                .arg(kProgram));
    End(code);
}

void Ctl::Defaults(const Request &request) {
    TuneFileTarget target;
    if (!request.output.isEmpty()) {
        if (const std::optional<QString> refused = target.Open(request.output))
            return Fail({kExitBadFile, *refused});
    }
    const TuneFile defaults{DefaultSettings(), {}, {}, 0};
    if (const auto failure = Deliver(defaults, request.output.isEmpty() ? nullptr : &target, m_out))
        return Fail(*failure);
    End(kExitOk);
}

void Ctl::Diff(const Request &request) {
    const QString second = request.operands.at(1);
    const bool json = request.json;
    Load(request.operands.at(0), [this, second, json](const Outcome<NamedTune> &a) {
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&a))
            return Fail(*failure);
        const NamedTune left = std::get<NamedTune>(a);
        Load(second, [this, left, json](const Outcome<NamedTune> &b) {
            if (const CtlFailure *failure = std::get_if<CtlFailure>(&b))
                return Fail(*failure);
            const NamedTune &right = std::get<NamedTune>(b);
            // The settings decide whether the tunes are equal; a note that differs is shown as
            // such.
            QList<TuneDifference> differences = Differences(left.file.tune, right.file.tune);
            const bool equal = differences.isEmpty();
            if (const auto note = NoteDifference(left.file, right.file))
                differences.append(*note);
            if (json)
                Print(QString::fromUtf8(
                    DifferenceJson(differences, left.heading, right.heading, equal)));
            else if (!differences.isEmpty())
                Print(DifferenceTable(differences, left.heading, right.heading));
            End(equal ? kExitOk : kExitDifferent);
        });
    });
}

// The listing, and exit code 5 when the folder, or a file in it, cannot be read: a restore
// point that is there but unseen must not pass for none.
void Ctl::ListRestorePoints(const Request &) {
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
    End(code);
}

} // namespace tuner
