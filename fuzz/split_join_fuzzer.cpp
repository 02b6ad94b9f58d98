// Fuzzes the record codec: SplitFields on arbitrary text, delimiters and escape, checked
// against a second, independent formulation of the splitting rules, and JoinFields followed by
// SplitFields, checked against what the escaping rules promise to bring back.
//
// Input layout (see fuzz/corpus/fuzz_split_join for examples):
//   byte 0  flags: bit 0 trim, bit 1 wide characters (two bytes, little endian, per character),
//           bit 2 also join an empty field list
//   byte 1  number of delimiter characters (modulo 4)
//   byte 2  number of escape characters (modulo 3)
//   then the delimiter characters, the escape characters and the text.
// For the joiner the text is cut into fields at every U+001E (record separator).

#include "codec/modStrings.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "codec property violated: %s\n", what);
    std::abort();
}

void Check(bool ok, const char *what) {
    if (!ok)
        Fail(what);
}

constexpr char16_t kFieldSeparator = 0x1E;

struct Reader {
    const std::uint8_t *data;
    std::size_t size;
    bool wide;

    bool Next(QChar &c) {
        if (wide) {
            if (size < 2)
                return false;
            c = QChar(static_cast<char16_t>(data[0] | (data[1] << 8)));
            data += 2;
            size -= 2;
            return true;
        }
        if (size < 1)
            return false;
        c = QChar(static_cast<char16_t>(data[0]));
        ++data;
        --size;
        return true;
    }

    QString Take(std::size_t count) {
        QString s;
        QChar c;
        while (count-- > 0 && Next(c))
            s += c;
        return s;
    }

    QString Rest() { return Take(size); }
};

bool SameIgnoringCase(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

QString TrimSpaces(const QString &s) {
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && s.at(first) == u' ')
        ++first;
    while (last > first && s.at(last - 1) == u' ')
        --last;
    return s.mid(first, last - first);
}

// The splitting rules stated as pieces instead of a scan: the text is cut at every delimiter
// (NUL always is one) that is not escaped, i.e. not directly preceded by the escape character
// where that character is not a delimiter itself; an escaped delimiter stays in its piece and
// loses its escape character. An empty piece gives no field, except that an empty last piece
// gives an empty field when the piece before it is empty too (one delimiter at the end gives no
// empty last field, two or more give exactly one). A text without any unescaped delimiter is one
// field, possibly empty.
QStringList ReferenceSplit(const QString &text, const QString &delimiters, const QString &escape,
                           bool trim) {
    if (text.isEmpty() || delimiters.isEmpty())
        return QStringList{QString()};
    auto isDelimiter = [&](QChar c) {
        if (c.unicode() == 0)
            return true;
        for (QChar d : delimiters) {
            if (SameIgnoringCase(c, d))
                return true;
        }
        return false;
    };
    const bool hasEscape = !escape.isEmpty() && !isDelimiter(escape.at(0));
    const QChar escapeChar = escape.isEmpty() ? QChar() : escape.at(0);

    QStringList pieces;
    QString piece;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isDelimiter(c)) {
            piece += c;
        } else if (hasEscape && i > 0 && text.at(i - 1) == escapeChar) {
            piece.chop(1); // the escape character, which was taken as an ordinary one
            piece += c;
        } else {
            pieces.append(piece);
            piece.clear();
        }
    }
    pieces.append(piece);

    QStringList fields;
    const qsizetype last = pieces.size() - 1;
    for (qsizetype i = 0; i < last; ++i) {
        if (!pieces.at(i).isEmpty())
            fields.append(pieces.at(i));
    }
    if (last == 0 || !pieces.at(last).isEmpty() || pieces.at(last - 1).isEmpty())
        fields.append(pieces.at(last));
    if (trim) {
        for (QString &f : fields)
            f = TrimSpaces(f);
    }
    return fields;
}

// Every field is made of characters of the text, in their order, and fields follow each other.
bool FieldsAreSubsequence(const QStringList &fields, const QString &text) {
    qsizetype at = 0;
    for (const QString &field : fields) {
        for (QChar c : field) {
            while (at < text.size() && text.at(at) != c)
                ++at;
            if (at == text.size())
                return false;
            ++at;
        }
    }
    return true;
}

void CheckSplit(const QString &text, const QString &delimiters, const QString &escape, bool trim) {
    const QString textBefore = text;
    const QStringList fields = modStrings::SplitFields(text, delimiters, escape, trim);
    Check(text == textBefore, "SplitFields changed its input");
    Check(!fields.isEmpty(), "SplitFields gave no field");
    Check(FieldsAreSubsequence(fields, text), "a field holds characters not taken from the text");
    Check(fields == ReferenceSplit(text, delimiters, escape, trim),
          "SplitFields disagrees with the splitting rules");
    if (trim) {
        for (const QString &f : fields)
            Check(f == TrimSpaces(f), "a trimmed field starts or ends with a space");
    }
}

// A field with every delimiter (in either letter case) written as escape + the delimiter.
QString Escaped(const QString &field, QChar delimiter, const QString &escape) {
    QString out;
    for (QChar c : field) {
        if (SameIgnoringCase(c, delimiter)) {
            out += escape;
            out += delimiter;
        } else {
            out += c;
        }
    }
    return out;
}

void CheckJoin(const QStringList &original, const QString &delimiter, const QString &escape) {
    QStringList fields = original;
    const QString joined = modStrings::JoinFields(fields, delimiter, escape);

    const QChar d = delimiter.isEmpty() ? QChar(u' ') : delimiter.at(0);
    const QString e = escape.isEmpty() ? QStringLiteral("\\") : escape;
    if (original.isEmpty()) {
        Check(joined.isEmpty(), "joining no fields gave text");
        return;
    }
    QStringList expectedFields;
    for (const QString &f : original)
        expectedFields.append(Escaped(f, d, e));
    Check(fields == expectedFields, "JoinFields did not leave the escaped fields in place");
    Check(joined == expectedFields.join(d), "JoinFields gave the wrong text");

    // Split again with the same delimiter and escape, trimming on. The fields come back, each
    // trimmed and with its delimiters in the caller's case, unless a rule says they cannot:
    // an escape of more than one character or one that is itself a delimiter, an empty field,
    // a field (other than the last) ending with the escape character, or a NUL that the joiner
    // does not escape but the splitter cuts at.
    if (e.size() != 1 || SameIgnoringCase(e.at(0), d) || e.at(0).unicode() == 0)
        return;
    for (qsizetype i = 0; i < original.size(); ++i) {
        const QString &f = original.at(i);
        if (f.isEmpty())
            return;
        if (i + 1 < original.size() && f.endsWith(e.at(0)))
            return;
        if (d.unicode() != 0 && f.contains(QChar(u'\0')))
            return;
    }
    QStringList expectedBack;
    for (const QString &f : original) {
        QString restored = f;
        for (QChar &c : restored) {
            if (SameIgnoringCase(c, d))
                c = d;
        }
        expectedBack.append(TrimSpaces(restored));
    }
    const QStringList back = modStrings::SplitFields(joined, QString(d), e, true);
    Check(back == expectedBack, "joined fields did not split back to themselves");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::uint8_t flags = data[0];
    const std::size_t delimiterCount = data[1] % 4;
    const std::size_t escapeCount = data[2] % 3;
    Reader in{data + 3, size - 3, (flags & 2) != 0};
    const QString delimiters = in.Take(delimiterCount);
    const QString escape = in.Take(escapeCount);
    const QString text = in.Rest();
    const bool trim = (flags & 1) != 0;

    CheckSplit(text, delimiters, escape, trim);

    const QStringList fields =
        (flags & 4) != 0 ? QStringList() : text.split(QChar(kFieldSeparator));
    CheckJoin(fields, delimiters, escape);
    return 0;
}
