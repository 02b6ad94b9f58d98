#include "codec/modStrings.h"

#include <algorithm>
#include <array>

namespace modStrings {
namespace {

// Letters are matched by Unicode case folding; everything else compares exactly.
bool SameIgnoringCase(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

class DelimiterSet {
public:
    explicit DelimiterSet(const QString &delimiters) {
        m_ascii.fill(false);
        m_ascii[0] = true; // NUL always ends a field
        for (QChar c : delimiters) {
            const QChar folded = c.toCaseFolded();
            m_folded.append(folded);
            if (folded.unicode() < m_ascii.size()) {
                m_ascii[folded.toLower().unicode()] = true;
                m_ascii[folded.toUpper().unicode()] = true;
            }
        }
    }

    bool Contains(QChar c) const {
        // ASCII is decided by the table, which also holds the ASCII foldings of non-ASCII
        // delimiters (the Kelvin sign folds to "k"); everything else by case folding.
        if (c.unicode() < m_ascii.size())
            return m_ascii[c.unicode()];
        return m_folded.contains(c.toCaseFolded());
    }

private:
    std::array<bool, 128> m_ascii;
    QString m_folded;
};

QString Trimmed(QString field, bool trim) {
    if (!trim)
        return field;
    qsizetype first = 0;
    qsizetype last = field.size();
    while (first < last && field.at(first) == u' ')
        ++first;
    while (last > first && field.at(last - 1) == u' ')
        --last;
    return field.mid(first, last - first);
}

} // namespace

QStringList SplitFields(const QString &text, const QString &delimiters, const QString &escape,
                        bool trim) {
    if (text.isEmpty() || delimiters.isEmpty())
        return QStringList{QString()};

    const DelimiterSet set(delimiters);
    const bool hasEscape = !escape.isEmpty();
    const QChar escapeChar = hasEscape ? escape.at(0) : QChar();
    const qsizetype end = text.size();

    QStringList fields;
    QString pending;
    bool hasPending = false;
    qsizetype rest = 0; // start of the part not yet consumed

    auto store = [&](QString field) { fields.append(Trimmed(std::move(field), trim)); };

    for (;;) {
        qsizetype at = rest;
        while (at < end && !set.Contains(text.at(at)))
            ++at;
        if (at == end) {
            // No delimiter left: what remains (possibly nothing) is the last field.
            store((hasPending ? pending : QString()) + text.mid(rest));
            break;
        }
        const bool atLastChar = at == end - 1;
        if (at == rest) {
            if (hasPending) {
                store(pending);
                hasPending = false;
                if (atLastChar)
                    break;
            }
            // Without a pending text the empty piece before the delimiter is dropped.
            rest = at + 1;
            continue;
        }
        if (hasEscape && text.at(at - 1) == escapeChar) {
            // Escaped delimiter: keep the delimiter itself, drop the escape character.
            if (!hasPending)
                pending.clear();
            pending += text.mid(rest, at - 1 - rest);
            pending += text.at(at);
            hasPending = true;
            if (atLastChar) {
                store(pending);
                break;
            }
            rest = at + 1;
            continue;
        }
        store((hasPending ? pending : QString()) + text.mid(rest, at - rest));
        hasPending = false;
        if (atLastChar)
            break; // a single delimiter at the very end yields no empty last field
        rest = at + 1;
    }
    return fields;
}

QString JoinFields(QStringList &fields, const QString &delimiter, const QString &escape) {
    const QString escapeText = escape.isEmpty() ? QStringLiteral("\\") : escape;
    const QChar delimiterChar = delimiter.isEmpty() ? QChar(u' ') : delimiter.at(0);
    if (fields.isEmpty())
        return QString();

    QString result;
    for (QString &field : fields) {
        const bool holdsDelimiter = std::any_of(field.cbegin(), field.cend(), [&](QChar c) {
            return SameIgnoringCase(c, delimiterChar);
        });
        if (holdsDelimiter) {
            QString escaped;
            escaped.reserve(field.size() + escapeText.size() * 2);
            for (QChar c : field) {
                if (SameIgnoringCase(c, delimiterChar)) {
                    escaped += escapeText;
                    escaped += delimiterChar; // the caller's case, whatever case was found
                } else {
                    escaped += c;
                }
            }
            field = escaped;
        }
        result += field;
        result += delimiterChar;
    }
    result.chop(1);
    return result;
}

} // namespace modStrings
