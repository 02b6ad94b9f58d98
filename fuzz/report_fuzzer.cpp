// Fuzzes report parsing: the input bytes are a received text exactly as the serial line hands
// it over (one byte, one Latin-1 character). ParseReport must accept precisely the texts whose
// fields 1 to 9 convert, never depend on what follows the tenth field, and a parsed set saved
// from its displayed texts must read back as the same set, rounded to whole numbers.

#include "codec/modStrings.h"
#include "link/number_text.h"
#include "link/protocol.h"
#include "link/tuning_parameters.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "report property violated: %s\n", what);
    std::abort();
}

void Check(bool ok, const char *what) {
    if (!ok)
        Fail(what);
}

QStringList ReportFields(const QString &text) {
    return modStrings::SplitFields(text, QStringLiteral(","), QStringLiteral("\\"), true);
}

// A percentage field converts when it reads as a number that a float can hold.
std::optional<float> PercentOf(const QString &field) {
    const std::optional<double> v = tuner::ReadNumber(field);
    if (!v || std::fabs(*v) > static_cast<double>(FLT_MAX))
        return std::nullopt;
    return static_cast<float>(*v);
}

// A switch field converts when, without surrounding blanks, it is "true" or "false" in any
// letter case, or a number (true when not zero).
std::optional<bool> SwitchOf(const QString &field) {
    qsizetype first = 0;
    qsizetype last = field.size();
    while (first < last && tuner::IsBlank(field.at(first)))
        ++first;
    while (last > first && tuner::IsBlank(field.at(last - 1)))
        --last;
    const QString word = field.mid(first, last - first).toLower();
    if (word == u"true")
        return true;
    if (word == u"false")
        return false;
    const std::optional<double> v = tuner::ReadNumber(field);
    if (!v)
        return std::nullopt;
    return *v != 0;
}

std::array<float, 6> Percents(const tuner::TuningParameters &p) {
    return {p.Accel, p.Decel, p.Turn, p.MaxOut, p.MinOut, p.LfbThreshold};
}

bool Same(const std::optional<tuner::TuningParameters> &a,
          const std::optional<tuner::TuningParameters> &b) {
    if (a.has_value() != b.has_value())
        return false;
    if (!a)
        return true;
    return Percents(*a) == Percents(*b) && a->TpsReverse == b->TpsReverse &&
           a->EbrakeCutOff == b->EbrakeCutOff && a->GSensorCalibrate == b->GSensorCalibrate;
}

void CheckAgainstFields(const QString &text, const std::optional<tuner::TuningParameters> &got) {
    const QStringList fields = ReportFields(text);
    std::optional<tuner::TuningParameters> expected;
    if (fields.size() >= 10) {
        tuner::TuningParameters p;
        std::array<float, 6> percents{};
        bool ok = true;
        for (std::size_t i = 0; i < percents.size() && ok; ++i) {
            const std::optional<float> v = PercentOf(fields.at(static_cast<qsizetype>(i) + 1));
            ok = v.has_value();
            if (ok)
                percents[i] = *v;
        }
        const std::optional<bool> tps = SwitchOf(fields.at(7));
        const std::optional<bool> ebrake = SwitchOf(fields.at(8));
        const std::optional<bool> calibrate = SwitchOf(fields.at(9));
        if (ok && tps && ebrake && calibrate) {
            p.Accel = percents[0];
            p.Decel = percents[1];
            p.Turn = percents[2];
            p.MaxOut = percents[3];
            p.MinOut = percents[4];
            p.LfbThreshold = percents[5];
            p.TpsReverse = *tps;
            p.EbrakeCutOff = *ebrake;
            p.GSensorCalibrate = *calibrate;
            expected = p;
        }
    }
    if (got)
        Check(fields.size() >= 10, "a report with fewer than ten fields was accepted");
    Check(Same(got, expected), "ParseReport disagrees with the conversion of fields 1 to 9");

    // Whatever follows a field after the tenth cannot change the outcome.
    if (fields.size() >= 11) {
        Check(Same(tuner::ParseReport(text + QStringLiteral(",x")), got),
              "text after the tenth field changed the report");
        Check(Same(tuner::ParseReport(text + QStringLiteral("\\,1,2,3\r\n")), got),
              "text after the tenth field changed the report");
    }
}

// Saving the texts the window would show gives a record that reads back as the shown values.
void CheckSaveRoundTrip(const tuner::TuningParameters &p) {
    const std::array<float, 6> percents = Percents(p);
    std::array<QString, 6> texts;
    bool fiveDigits = true;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = tuner::DisplayForm(percents[i]);
        const float whole = std::round(percents[i]);
        fiveDigits = fiveDigits && whole >= 0 && whole <= 99999;
    }
    const std::optional<QString> command =
        tuner::SaveCommand(texts, p.TpsReverse, p.EbrakeCutOff, p.GSensorCalibrate);
    Check(command.has_value(), "a displayed value could not be saved");
    Check(command->startsWith(u"S,") && command->endsWith(u",\r"),
          "a save command is not framed as S,...,CR");
    Check(!command->contains(u'\\'), "a save command holds an escape");
    if (fiveDigits)
        Check(command->size() == tuner::kSaveCommandLength, "a save command is not 57 characters");

    const std::optional<tuner::TuningParameters> back = tuner::ParseReport(*command);
    Check(back.has_value(), "a save command does not read back as a report");
    const std::array<float, 6> again = Percents(*back);
    for (std::size_t i = 0; i < again.size(); ++i)
        Check(again[i] == std::round(percents[i]), "a saved value did not read back rounded");
    Check(back->TpsReverse == p.TpsReverse && back->EbrakeCutOff == p.EbrakeCutOff &&
              back->GSensorCalibrate == p.GSensorCalibrate,
          "a saved switch did not read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = QString::fromLatin1(
        QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    const std::optional<tuner::TuningParameters> report = tuner::ParseReport(text);
    CheckAgainstFields(text, report);
    if (report)
        CheckSaveRoundTrip(*report);
    return 0;
}
