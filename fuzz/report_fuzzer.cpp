// Fuzzes report parsing: the input bytes are a received text exactly as the serial line hands
// it over (one byte, one Latin-1 character). ParseReport must accept precisely the texts whose
// fields 1 to 9 convert, except that it may refuse one holding a NUL (a noisy line's NUL splits
// fields); what it accepts never depends on anything from a NUL on, nor on what follows the
// tenth field; and a parsed set saved from its displayed texts must read back as the same set,
// rounded to whole numbers.

#include "codec/modStrings.h"
#include "link/protocol/records.h"
#include "link/settings/number_forms.h"
#include "link/settings/number_text.h"
#include "link/settings/parameter_set.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

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

// A field without the blanks (space, tab, CR, LF) around it.
QString Unpadded(const QString &field) {
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    qsizetype first = 0;
    qsizetype last = field.size();
    while (first < last && blank(field.at(first)))
        ++first;
    while (last > first && blank(field.at(last - 1)))
        --last;
    return field.mid(first, last - first);
}

// The number a field holds, read by the rule written out character by character, independent
// of the parser's own reading: blanks around an optional sign and digits with an optional
// point and fraction, at least one digit. Nothing for anything else.
std::optional<double> NumberOf(const QString &field) {
    const QString number = Unpadded(field);
    std::string ascii;
    bool digit = false;
    bool point = false;
    for (qsizetype i = 0; i < number.size(); ++i) {
        const char16_t c = number.at(i).unicode();
        if ((c == u'+' || c == u'-') && i == 0) {
        } else if (c >= u'0' && c <= u'9') {
            digit = true;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
        ascii += static_cast<char>(c);
    }
    if (!digit)
        return std::nullopt;
    const double value = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

// A percentage field converts when it reads as a number that a float can hold.
std::optional<float> PercentOf(const QString &field) {
    const std::optional<double> v = NumberOf(field);
    if (!v || std::fabs(*v) > static_cast<double>(FLT_MAX))
        return std::nullopt;
    return static_cast<float>(*v);
}

// A switch field converts when, without surrounding blanks, it is "true" or "false" in any
// letter case, or a number (true when not zero).
std::optional<bool> SwitchOf(const QString &field) {
    const QString word = Unpadded(field).toLower();
    if (word == u"true")
        return true;
    if (word == u"false")
        return false;
    const std::optional<double> v = NumberOf(field);
    if (!v)
        return std::nullopt;
    return *v != 0;
}

std::array<float, tuner::kPercentCount> Percents(const tuner::TuningParameters &p) {
    std::array<float, tuner::kPercentCount> percents{};
    for (std::size_t i = 0; i < percents.size(); ++i)
        percents[i] = p.*tuner::kPercents[i].value;
    return percents;
}

bool SameSwitches(const tuner::TuningParameters &a, const tuner::TuningParameters &b) {
    for (const tuner::SwitchField &flag : tuner::kSwitches) {
        if (a.*flag.value != b.*flag.value)
            return false;
    }
    return true;
}

bool Same(const std::optional<tuner::TuningParameters> &a,
          const std::optional<tuner::TuningParameters> &b) {
    if (a.has_value() != b.has_value())
        return false;
    if (!a)
        return true;
    return Percents(*a) == Percents(*b) && SameSwitches(*a, *b);
}

void CheckAgainstFields(const QString &text, const std::optional<tuner::TuningParameters> &got) {
    const QStringList fields = ReportFields(text);
    std::optional<tuner::TuningParameters> expected;
    if (fields.size() >= tuner::kReportFieldCount) {
        tuner::TuningParameters p;
        bool ok = true;
        for (const tuner::PercentField &percent : tuner::kPercents) {
            const std::optional<float> v = PercentOf(fields.at(percent.wireField));
            ok = ok && v.has_value();
            if (v)
                p.*percent.value = *v;
        }
        for (const tuner::SwitchField &flag : tuner::kSwitches) {
            const std::optional<bool> v = SwitchOf(fields.at(flag.wireField));
            ok = ok && v.has_value();
            if (v)
                p.*flag.value = *v;
        }
        if (ok)
            expected = p;
    }
    if (got)
        Check(fields.size() >= tuner::kReportFieldCount,
              "a report with fewer than ten fields was accepted");
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul < 0 || !got) {
        Check(Same(got, expected) || (nul >= 0 && !got),
              "ParseReport disagrees with the conversion of fields 1 to 9");
    } else {
        // Taken despite a NUL: every value stood before it.
        Check(Same(got, expected), "ParseReport disagrees with the conversion of fields 1 to 9");
        Check(Same(tuner::ParseReport(text.left(nul)), got),
              "a report taken despite a NUL depends on what follows the NUL");
    }

    // Whatever follows a field after the tenth cannot change the outcome. (A NUL in the text is
    // judged by the text after it up to the next comma: it may stand inside the last value.)
    if (fields.size() > tuner::kReportFieldCount && nul < 0) {
        Check(Same(tuner::ParseReport(text + QStringLiteral(",x")), got),
              "text after the tenth field changed the report");
        Check(Same(tuner::ParseReport(text + QStringLiteral("\\,1,2,3\r\n")), got),
              "text after the tenth field changed the report");
    }
}

// Saving the texts the window would show gives a record that reads back as the shown values.
void CheckSaveRoundTrip(const tuner::TuningParameters &p) {
    const std::array<float, tuner::kPercentCount> percents = Percents(p);
    std::array<QString, tuner::kPercentCount> texts;
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
    const std::array<float, tuner::kPercentCount> again = Percents(*back);
    for (std::size_t i = 0; i < again.size(); ++i)
        Check(again[i] == std::round(percents[i]), "a saved value did not read back rounded");
    Check(SameSwitches(*back, p), "a saved switch did not read back");
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
