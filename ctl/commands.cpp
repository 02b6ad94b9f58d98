#include "ctl/session.h"

#include "ctl/tune_differences.h"
#include "link/text/shown_text.h"

#include <QDir>

namespace tuner {

int Ctl::Read(const Request &request) {
    return ToOutput(request.output, [this]() -> Outcome<TuneFile> {
        const Outcome<NamedTune> read = Load(QStringLiteral("port"));
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&read))
            return *failure;
        const TuneFile &tune = std::get<NamedTune>(read).file;
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

int Ctl::Defaults(const Request &request) {
    return ToOutput(request.output, [] {
        return Outcome<TuneFile>(TuneFile{DefaultSettings(), {}, {}, 0});
    });
}

int Ctl::Diff(const Request &request) {
    const Outcome<NamedTune> a = Load(request.operands.at(0));
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&a))
        return Fail(*failure);
    const Outcome<NamedTune> b = Load(request.operands.at(1));
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&b))
        return Fail(*failure);
    const NamedTune &left = std::get<NamedTune>(a);
    const NamedTune &right = std::get<NamedTune>(b);
    // The settings decide whether the tunes are equal; a note that differs is shown as such.
    QList<TuneDifference> differences = Differences(left.file.tune, right.file.tune);
    const bool equal = differences.isEmpty();
    if (const auto note = NoteDifference(left.file, right.file))
        differences.append(*note);
    if (request.json)
        Print(QString::fromUtf8(DifferenceJson(differences, left.heading, right.heading, equal)));
    else if (!differences.isEmpty())
        Print(DifferenceTable(differences, left.heading, right.heading));
    return equal ? kExitOk : kExitDifferent;
}

// The listing, and exit code 5 when the folder, or a file in it, cannot be read: a restore
// point that is there but unseen must not pass for none.
int Ctl::ListRestorePoints(const Request &) {
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

} // namespace tuner
