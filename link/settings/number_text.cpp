#include "link/settings/number_text.h"

#include <charconv>
#include <string>
#include <system_error>

namespace tuner {
namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The numeric part at the start of a text: sign, digits, optional point and fraction.
struct NumericPart {
    bool negative = false;
    std::string whole;
    std::string fraction;
    qsizetype end = 0; // index just after the part

    bool HasDigits() const { return !whole.empty() || !fraction.empty(); }

    bool WholeIsZero() const { return whole.find_first_not_of('0') == std::string::npos; }

    // Locale-independent conversion; nothing when beyond the range of a double.
    std::optional<double> Value() const {
        std::string ascii = negative ? "-" : "";
        ascii += whole.empty() ? std::string("0") : whole;
        if (!fraction.empty())
            ascii += '.' + fraction;
        double value = 0;
        const char *first = ascii.data();
        const char *last = first + ascii.size();
        const auto [stop, error] = std::from_chars(first, last, value, std::chars_format::fixed);
        if (error == std::errc::result_out_of_range && WholeIsZero())
            return 0.0; // too small for a double: as good as zero
        if (error != std::errc() || stop != last)
            return std::nullopt;
        return value;
    }
};

NumericPart ScanNumber(const QString &text, qsizetype i) {
    NumericPart part;
    const qsizetype n = text.size();
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        part.negative = text.at(i) == u'-';
        ++i;
    }
    while (i < n && IsDigit(text.at(i)))
        part.whole += static_cast<char>(text.at(i++).unicode());
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && IsDigit(text.at(i)))
            part.fraction += static_cast<char>(text.at(i++).unicode());
    }
    part.end = i;
    return part;
}

QString WithoutBlanks(const QString &text) {
    QString packed;
    packed.reserve(text.size());
    for (QChar c : text) {
        if (!IsBlank(c))
            packed += c;
    }
    return packed;
}

} // namespace

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::optional<double> ReadNumber(const QString &text) {
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text.at(i)))
        ++i;
    const NumericPart part = ScanNumber(text, i);
    i = part.end;
    while (i < text.size() && IsBlank(text.at(i)))
        ++i;
    if (!part.HasDigits() || i != text.size())
        return std::nullopt;
    return part.Value();
}

bool HasLeadingNumber(const QString &text) {
    return ScanNumber(WithoutBlanks(text), 0).HasDigits();
}

std::optional<double> ReadLeadingNumber(const QString &text) {
    const NumericPart part = ScanNumber(WithoutBlanks(text), 0);
    if (!part.HasDigits())
        return 0.0;
    return part.Value();
}

} // namespace tuner
