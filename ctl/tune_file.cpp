#include "ctl/tune_file.h"

#include "link/protocol.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tuner {
namespace {

// A value as JSON writes it: "abc" with its quotes, 2.5, true, null, [1,2], {"a":1}.
QString JsonText(const QJsonValue &value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString Problem(const QString &fileName, const QString &key, const std::optional<QJsonValue> &value,
                const QString &allowed) {
    const QString is =
        value ? QStringLiteral("is ") + JsonText(*value) : QStringLiteral("is missing");
    return QStringLiteral("%1: \"%2\" %3; it must be %4").arg(fileName, key, is, allowed);
}

// Line and column (both from 1) of the byte a parse error names: the parser's offset points just
// past it.
QString Position(const QByteArray &text, qsizetype offset) {
    const qsizetype at = std::clamp<qsizetype>(offset - 1, 0, text.size());
    const QByteArray before = text.left(at);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = at - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("%1:%2").arg(line).arg(column);
}

// The first top-level key that a valid JSON object text gives twice, as a message naming both
// lines, or nothing. The document object keeps only the last of two equal keys, so the text
// itself is scanned: nested values are skipped by their depth, strings by their quotes and
// escapes, and a key's name is decoded as JSON decodes it.
std::optional<QString> RepeatedKey(const QByteArray &text, const QString &fileName) {
    QHash<QString, qsizetype> lines; // each key seen so far and its line
    int depth = 0;                   // objects and arrays open around the current byte
    bool keyNext = false;            // the next string at depth 1 names a key
    qsizetype line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\n') {
            ++line;
        } else if (c == '{' || c == '[') {
            keyNext = ++depth == 1;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',') {
            keyNext = depth == 1;
        } else if (c == '"') {
            const qsizetype start = i;
            for (++i; i < text.size() && text.at(i) != '"'; ++i) {
                if (text.at(i) == '\\')
                    ++i; // the escaped character, a quote among them
            }
            if (!keyNext)
                continue;
            keyNext = false;
            const QByteArray quoted = '[' + text.mid(start, i - start + 1) + ']';
            const QString key = QJsonDocument::fromJson(quoted).array().at(0).toString();
            const auto seen = lines.constFind(key);
            if (seen == lines.constEnd()) {
                lines.insert(key, line);
                continue;
            }
            return QStringLiteral("%1: \"%2\" is given twice (lines %3 and %4)")
                .arg(fileName, key)
                .arg(*seen)
                .arg(line);
        }
    }
    return std::nullopt;
}

QStringList AllKeys() {
    QStringList keys{QStringLiteral("format"), QStringLiteral("version")};
    for (const PercentField &percent : kPercents)
        keys.append(percent.fileKey.toString());
    for (const SwitchField &flag : kSwitches) {
        if (!flag.fileKey.isEmpty())
            keys.append(flag.fileKey.toString());
    }
    return keys;
}

bool IsWholeIn(const QJsonValue &value, double lowest, double highest) {
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && number == std::floor(number) && number >= lowest &&
           number <= highest;
}

} // namespace

QString WholeText(float value) {
    // The wire form without its padding: the same rounding, so equal texts mean equal records.
    // Adding +0.0 turns a -0 (from -0.4) into 0, which prints without a sign.
    return QString::number(std::round(static_cast<double>(value)) + 0.0, 'f', 0);
}

TuningParameters TuneOf(const TuningParameters &settings) {
    TuningParameters tune = settings;
    for (const PercentField &percent : kPercents)
        tune.*percent.value = std::round(settings.*percent.value);
    for (const SwitchField &flag : kSwitches) {
        if (flag.fileKey.isEmpty())
            tune.*flag.value = false; // a request, not a setting
    }
    return tune;
}

TuningParameters DefaultTune() {
    return TuneOf(DefaultSettings());
}

QByteArray TuneFileText(const TuningParameters &tune) {
    QStringList lines{QStringLiteral("  \"format\": \"%1\"").arg(QLatin1String(kTuneFormat)),
                      QStringLiteral("  \"version\": %1").arg(kTuneVersion)};
    for (const PercentField &percent : kPercents)
        lines.append(QStringLiteral("  \"%1\": %2")
                         .arg(percent.fileKey.toString(), WholeText(tune.*percent.value)));
    for (const SwitchField &flag : kSwitches) {
        if (!flag.fileKey.isEmpty())
            lines.append(QStringLiteral("  \"%1\": %2")
                             .arg(flag.fileKey.toString(), tune.*flag.value
                                                               ? QStringLiteral("true")
                                                               : QStringLiteral("false")));
    }
    return (QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n"))
        .toUtf8();
}

std::variant<TuningParameters, QString> ParseTuneFile(const QByteArray &text,
                                                      const QString &fileName) {
    if (text.size() > kLargestTuneFile)
        return QStringLiteral("%1: larger than 1 MiB; a tune file is a few hundred bytes")
            .arg(fileName);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("%1:%2: not valid JSON (%3)")
            .arg(fileName, Position(text, error.offset), error.errorString());
    if (!document.isObject())
        return QStringLiteral("%1: not a tune file: it must be one JSON object { ... }")
            .arg(fileName);
    if (const std::optional<QString> repeated = RepeatedKey(text, fileName))
        return *repeated;
    const QJsonObject object = document.object();
    auto value = [&object](const QString &key) -> std::optional<QJsonValue> {
        const auto found = object.constFind(key);
        if (found == object.constEnd())
            return std::nullopt;
        return *found;
    };

    const QString format = QStringLiteral("format");
    const std::optional<QJsonValue> formatValue = value(format);
    if (!formatValue || formatValue->toString() != QLatin1String(kTuneFormat))
        return Problem(fileName, format, formatValue,
                       QStringLiteral("\"%1\"").arg(QLatin1String(kTuneFormat)));
    const QString version = QStringLiteral("version");
    const std::optional<QJsonValue> versionValue = value(version);
    if (!versionValue || !IsWholeIn(*versionValue, kTuneVersion, kTuneVersion))
        return Problem(fileName, version, versionValue, QString::number(kTuneVersion));

    const QStringList known = AllKeys();
    for (const QString &key : object.keys()) {
        if (!known.contains(key))
            return QStringLiteral("%1: unknown key \"%2\"; the keys are %3")
                .arg(fileName, key, known.join(QStringLiteral(", ")));
    }

    TuningParameters tune;
    for (const PercentField &percent : kPercents) {
        const QString key = percent.fileKey.toString();
        const std::optional<QJsonValue> setting = value(key);
        if (!setting || !IsWholeIn(*setting, 0, percent.upperLimit))
            return Problem(fileName, key, setting,
                           QStringLiteral("a whole number from 0 to %1").arg(percent.upperLimit));
        tune.*percent.value = static_cast<float>(setting->toDouble());
    }
    for (const SwitchField &flag : kSwitches) {
        if (flag.fileKey.isEmpty())
            continue;
        const QString key = flag.fileKey.toString();
        const std::optional<QJsonValue> setting = value(key);
        if (!setting || !setting->isBool())
            return Problem(fileName, key, setting, QStringLiteral("true or false"));
        tune.*flag.value = setting->toBool();
    }
    return tune;
}

QString SaveRecordOf(const TuningParameters &tune, bool calibrate) {
    std::array<QString, kPercentCount> texts;
    for (std::size_t i = 0; i < kPercents.size(); ++i)
        texts[i] = WholeText(tune.*kPercents[i].value);
    // Whole numbers always read back as numbers, so the record is always made.
    return SaveCommand(texts, tune.TpsReverse, tune.EbrakeCutOff, calibrate).value_or(QString());
}

QList<TuneDifference> Differences(const TuningParameters &first, const TuningParameters &second) {
    QList<TuneDifference> differences;
    for (const PercentField &percent : kPercents) {
        const float a = first.*percent.value;
        const float b = second.*percent.value;
        if (WireForm(static_cast<double>(a)) != WireForm(static_cast<double>(b)))
            differences.append({percent.fileKey.toString(), WholeText(a), WholeText(b)});
    }
    auto text = [](bool flag) { return flag ? QStringLiteral("true") : QStringLiteral("false"); };
    for (const SwitchField &flag : kSwitches) {
        if (!flag.fileKey.isEmpty() && first.*flag.value != second.*flag.value)
            differences.append(
                {flag.fileKey.toString(), text(first.*flag.value), text(second.*flag.value)});
    }
    return differences;
}

QString DifferenceTable(const QList<TuneDifference> &differences, const QString &firstHeading,
                        const QString &secondHeading) {
    QList<TuneDifference> rows{{QStringLiteral("setting"), firstHeading, secondHeading}};
    rows.append(differences);
    qsizetype keyWidth = 0;
    qsizetype firstWidth = 0;
    for (const TuneDifference &row : rows) {
        keyWidth = std::max(keyWidth, row.key.size());
        firstWidth = std::max(firstWidth, row.first.size());
    }
    QString table;
    for (const TuneDifference &row : rows)
        table += row.key.leftJustified(keyWidth + 2) + row.first.leftJustified(firstWidth + 2) +
                 row.second + u'\n';
    return table;
}

} // namespace tuner
