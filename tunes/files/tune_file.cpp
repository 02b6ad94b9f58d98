#include "tunes/files/tune_file.h"

#include "link/text/shown_text.h"
#include "tunes/files/nearest_key.h"

#include "link/ports/comfunct.h"
#include "link/protocol/records.h"
#include "link/settings/number_forms.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tuner {
namespace {

QString Problem(const QString &fileName, const QString &key, const std::optional<QJsonValue> &value,
                const QString &allowed) {
    const QString is = value ? QStringLiteral("is ") + EscapedText(JsonText(*value))
                             : QStringLiteral("is missing");
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
            const QByteArrayView raw(text.constData() + start + 1, i - start - 1);
            // A key with an escape in it is read as JSON reads it; any other as it stands.
            const QString key =
                raw.contains('\\')
                    ? QJsonDocument::fromJson('[' + text.mid(start, i - start + 1) + ']')
                          .array()
                          .at(0)
                          .toString()
                    : QString::fromUtf8(raw);
            const auto seen = lines.constFind(key);
            if (seen == lines.constEnd()) {
                lines.insert(key, line);
                continue;
            }
            return QStringLiteral("%1: \"%2\" is given twice (lines %3 and %4)")
                .arg(fileName, EscapedText(key))
                .arg(*seen)
                .arg(line);
        }
    }
    return std::nullopt;
}

// The keys that are no setting: the file's kind, and what a person needs to know of the tune.
const QString kFormatKey = QStringLiteral("format");
const QString kVersionKey = QStringLiteral("version");
const QString kNoteKey = QStringLiteral("note");
const QString kReadAtKey = QStringLiteral("read_at");
const QString kPortKey = QStringLiteral("port");

QStringList AllKeys() {
    return QStringList{kFormatKey, kVersionKey, kNoteKey, kReadAtKey, kPortKey} + SettingKeys();
}

// What the JSON reader found wrong, in the words of someone editing the file.
QString JsonMistake(QJsonParseError::ParseError error) {
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("a comma or } is missing");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("a colon is missing after a key");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("a comma or ] is missing");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("a value is missing after a colon");
    case QJsonParseError::IllegalValue:
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("this is no value: texts go in double quotes, numbers and true or "
                              "false without");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("the file ends inside a number");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("a backslash in a text starts no escape JSON knows");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("the text is not UTF-8");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("a text has no closing double quote");
    case QJsonParseError::MissingObject:
        return QStringLiteral("the file does not start with {");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("brackets are nested too deeply");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("the file is too large");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("something follows the closing }");
    case QJsonParseError::NoError:
        break;
    }
    return QStringLiteral("not valid JSON");
}

// The largest percentage a controller's report can carry: a single-precision number.
constexpr double kLargestHeld = std::numeric_limits<float>::max();

bool IsWholeIn(const QJsonValue &value, double lowest, double highest) {
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && number == std::floor(number) && number >= lowest &&
           number <= highest;
}

// The text as UTF-8, which is what the JSON reader reads: UTF-8 with or without a byte-order
// mark, and UTF-16 of either byte order with its mark (what Notepad's "Unicode" and Windows
// PowerShell 5.1's > write); any other encoding is named, not read as garbage.
std::variant<QByteArray, QString> AsUtf8(const QByteArray &bytes) {
    const auto starts = [&bytes](std::initializer_list<unsigned char> mark) {
        return bytes.size() >= static_cast<qsizetype>(mark.size()) &&
               std::equal(mark.begin(), mark.end(), bytes.cbegin(), [](unsigned char m, char b) {
                   return m == static_cast<unsigned char>(b);
               });
    };
    if (starts({0xFF, 0xFE, 0x00, 0x00}) || starts({0x00, 0x00, 0xFE, 0xFF}))
        return QStringLiteral("the file is UTF-32; save it as UTF-8");
    if (starts({0xEF, 0xBB, 0xBF}))
        return bytes.mid(3);
    const bool little = starts({0xFF, 0xFE});
    if (little || starts({0xFE, 0xFF})) {
        QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(bytes.mid(2));
        // The decoder lets a lone surrogate through.
        if (decoder.hasError() || bytes.size() % 2 != 0 || !QStringView(text).isValidUtf16())
            return QStringLiteral("the file starts as UTF-16 but is not valid UTF-16");
        return text.toUtf8();
    }
    // UTF-16 without its mark: every other byte of the ASCII text is a zero.
    if (bytes.size() >= 2 && (bytes.at(0) == 0 || bytes.at(1) == 0))
        return QStringLiteral("the file looks like UTF-16 without a byte-order mark; save it as "
                              "UTF-8");
    return bytes;
}

} // namespace

// The wire form's number without its padding: the same rounding, so equal texts mean equal
// records. Adding +0.0 turns a -0 (from -0.4) into 0, which prints without a sign.
double WholeValue(float value) {
    return std::round(static_cast<double>(value)) + 0.0;
}

QString WholeText(float value) {
    return QString::number(WholeValue(value), 'f', 0);
}

TuningParameters TuneOf(const TuningParameters &settings) {
    TuningParameters tune = settings;
    for (const PercentField &percent : kPercents)
        tune.*percent.value = std::round(settings.*percent.value);
    for (const SwitchField &flag : kSwitches) {
        if (!IsSetting(flag))
            tune.*flag.value = false; // a request, not a setting
    }
    return tune;
}

QStringList SettingKeys() {
    QStringList keys;
    for (const PercentField &percent : kPercents)
        keys.append(percent.fileKey.toString());
    for (const SwitchField &flag : kSwitches) {
        if (IsSetting(flag))
            keys.append(flag.fileKey.toString());
    }
    return keys;
}

QByteArray TuneFileText(const TuneFile &file) {
    const auto quoted = [](const QString &text) { return JsonText(QJsonValue(text)); };
    QStringList lines{
        QStringLiteral("  \"%1\": \"%2\"").arg(kFormatKey, QLatin1String(kTuneFormat)),
        QStringLiteral("  \"%1\": %2").arg(kVersionKey).arg(kTuneVersion)};
    if (!file.note.isEmpty())
        lines.append(QStringLiteral("  \"%1\": %2").arg(kNoteKey, quoted(file.note)));
    if (!file.readAt.isEmpty())
        lines.append(QStringLiteral("  \"%1\": %2").arg(kReadAtKey, quoted(file.readAt)));
    if (file.port != 0)
        lines.append(QStringLiteral("  \"%1\": %2").arg(kPortKey).arg(file.port));
    const TuningParameters &tune = file.tune;
    for (const PercentField &percent : kPercents)
        lines.append(QStringLiteral("  \"%1\": %2")
                         .arg(percent.fileKey.toString(), WholeText(tune.*percent.value)));
    for (const SwitchField &flag : kSwitches) {
        if (IsSetting(flag))
            lines.append(QStringLiteral("  \"%1\": %2")
                             .arg(flag.fileKey.toString(), tune.*flag.value
                                                               ? QStringLiteral("true")
                                                               : QStringLiteral("false")));
    }
    return (QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n"))
        .toUtf8();
}

QByteArray TuneFileText(const TuningParameters &tune) {
    return TuneFileText(TuneFile{tune, {}, {}, 0});
}

namespace {

// A key's value in the object; nothing when the key is not there.
std::optional<QJsonValue> ValueOf(const QJsonObject &object, const QString &key) {
    const auto found = object.constFind(key);
    if (found == object.constEnd())
        return std::nullopt;
    return *found;
}

// The text as one JSON object, or what keeps it from being one.
std::variant<QJsonObject, QString> ObjectOf(const QByteArray &bytes, const QString &fileName) {
    if (bytes.size() > kLargestTuneFile)
        return QStringLiteral("%1: larger than 1 MiB; a tune file is a few hundred bytes")
            .arg(fileName);
    const std::variant<QByteArray, QString> decoded = AsUtf8(bytes);
    if (const QString *problem = std::get_if<QString>(&decoded))
        return QStringLiteral("%1: %2").arg(fileName, *problem);
    const QByteArray &text = std::get<QByteArray>(decoded);
    if (text.trimmed().isEmpty())
        return QStringLiteral("%1: the file is empty; 'dccd-ctl defaults' prints a tune file to "
                              "start from")
            .arg(fileName);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("%1:%2: %3")
            .arg(fileName, Position(text, error.offset), JsonMistake(error.error));
    if (!document.isObject())
        return QStringLiteral("%1: not a tune file: it must be one JSON object { ... }")
            .arg(fileName);
    if (const std::optional<QString> repeated = RepeatedKey(text, fileName))
        return *repeated;
    return document.object();
}

// The file's kind and version, and no key that is not one of a tune file: a typo must not pass
// for a setting left out, so an unknown key is refused, with the key that was probably meant.
std::optional<QString> KindProblem(const QJsonObject &object, const QString &fileName) {
    const std::optional<QJsonValue> format = ValueOf(object, kFormatKey);
    if (!format || format->toString() != QLatin1String(kTuneFormat))
        return Problem(fileName, kFormatKey, format,
                       QStringLiteral("\"%1\"").arg(QLatin1String(kTuneFormat)));
    const std::optional<QJsonValue> version = ValueOf(object, kVersionKey);
    if (!version || !IsWholeIn(*version, kTuneVersion, kTuneVersion))
        return Problem(fileName, kVersionKey, version, QString::number(kTuneVersion));
    const QStringList known = AllKeys();
    for (const QString &key : object.keys()) {
        if (known.contains(key))
            continue;
        const QString nearest = NearestKey(key, known);
        if (!nearest.isEmpty())
            return QStringLiteral("%1: \"%2\": no such setting; did you mean \"%3\"?")
                .arg(fileName, EscapedText(key), nearest);
        return QStringLiteral("%1: \"%2\": no such setting; the keys are %3")
            .arg(fileName, EscapedText(key), known.join(QStringLiteral(", ")));
    }
    return std::nullopt;
}

// The note, read_at and port into the file.
std::optional<QString> ReadAbout(const QJsonObject &object, const QString &fileName,
                                 TuneFile &file) {
    for (const QString &key : {kNoteKey, kReadAtKey}) {
        const std::optional<QJsonValue> text = ValueOf(object, key);
        if (text && !text->isString())
            return Problem(fileName, key, text, QStringLiteral("a text in double quotes"));
    }
    file.note = ValueOf(object, kNoteKey).value_or(QJsonValue()).toString();
    file.readAt = ValueOf(object, kReadAtKey).value_or(QJsonValue()).toString();
    if (const std::optional<QJsonValue> port = ValueOf(object, kPortKey)) {
        // Any number a system gives a port: a file made on Windows (COM23) is read on Linux too.
        if (!IsWholeIn(*port, comfunct::kFirstPort, comfunct::kHighestPortNumber))
            return Problem(
                fileName, kPortKey, port,
                QStringLiteral("a port number from 1 to %1").arg(comfunct::kHighestPortNumber));
        file.port = static_cast<qint16>(port->toInt());
    }
    return std::nullopt;
}

// The settings into the tune: every one given, each of its type and within its range.
std::optional<QString> ReadSettings(const QJsonObject &object, const QString &fileName,
                                    SettingRange range, TuningParameters &tune) {
    const bool held = range == SettingRange::Held;
    for (const PercentField &percent : kPercents) {
        const QString key = percent.fileKey.toString();
        const std::optional<QJsonValue> setting = ValueOf(object, key);
        if (!setting || !IsWholeIn(*setting, held ? -kLargestHeld : 0,
                                   held ? kLargestHeld : percent.upperLimit))
            return Problem(
                fileName, key, setting,
                held ? QStringLiteral("a whole number")
                     : QStringLiteral("a whole number from 0 to %1").arg(percent.upperLimit));
        tune.*percent.value = static_cast<float>(setting->toDouble());
    }
    for (const SwitchField &flag : kSwitches) {
        if (!IsSetting(flag))
            continue;
        const QString key = flag.fileKey.toString();
        const std::optional<QJsonValue> setting = ValueOf(object, key);
        if (!setting || !setting->isBool())
            return Problem(fileName, key, setting, QStringLiteral("true or false"));
        tune.*flag.value = setting->toBool();
    }
    return std::nullopt;
}

} // namespace

std::variant<TuneFile, QString> ParseTuneFile(const QByteArray &bytes, const QString &fileName,
                                              SettingRange range) {
    const std::variant<QJsonObject, QString> read = ObjectOf(bytes, fileName);
    if (const QString *problem = std::get_if<QString>(&read))
        return *problem;
    const QJsonObject &object = std::get<QJsonObject>(read);
    TuneFile file;
    if (std::optional<QString> problem = KindProblem(object, fileName))
        return *problem;
    if (std::optional<QString> problem = ReadAbout(object, fileName, file))
        return *problem;
    if (std::optional<QString> problem = ReadSettings(object, fileName, range, file.tune))
        return *problem;
    return file;
}

QList<const PercentField *> PercentsOutOfRange(const TuningParameters &tune,
                                               const QStringList &unchecked) {
    QList<const PercentField *> outside;
    for (const PercentField &percent : kPercents) {
        if (!unchecked.contains(percent.fileKey.toString()) &&
            !InRange(percent, static_cast<double>(tune.*percent.value)))
            outside.append(&percent);
    }
    return outside;
}

QString OutOfRange(const TuningParameters &tune, const QStringList &unchecked) {
    const QList<const PercentField *> outside = PercentsOutOfRange(tune, unchecked);
    if (outside.isEmpty())
        return {};
    const PercentField &percent = *outside.constFirst();
    return QStringLiteral("%1 %2, outside 0 to %3")
        .arg(percent.fileKey.toString(), WholeText(tune.*percent.value))
        .arg(percent.upperLimit);
}

QString SaveRecordOf(const TuningParameters &tune, bool calibrate) {
    std::array<double, kPercentCount> percents{};
    for (std::size_t i = 0; i < kPercents.size(); ++i)
        percents[i] = static_cast<double>(tune.*kPercents[i].value);
    TuningParameters switches = tune;
    switches.GSensorCalibrate = calibrate;
    return SaveCommand(percents, switches);
}

} // namespace tuner
