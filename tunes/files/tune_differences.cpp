#include "tunes/files/tune_differences.h"

#include "link/settings/number_forms.h"
#include "link/text/shown_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace tuner {

QList<TuneDifference> Differences(const TuningParameters &first, const TuningParameters &second) {
    QList<TuneDifference> differences;
    for (const PercentField &percent : kPercents) {
        const float a = first.*percent.value;
        const float b = second.*percent.value;
        // Two values differ when the controller is sent different numbers for them.
        if (a != b && WireForm(static_cast<double>(a)) != WireForm(static_cast<double>(b)))
            differences.append({percent.fileKey.toString(), WholeText(a), WholeText(b),
                                WholeValue(a), WholeValue(b)});
    }
    auto text = [](bool flag) { return flag ? QStringLiteral("true") : QStringLiteral("false"); };
    for (const SwitchField &flag : kSwitches) {
        const bool a = first.*flag.value;
        const bool b = second.*flag.value;
        if (IsSetting(flag) && a != b)
            differences.append({flag.fileKey.toString(), text(a), text(b), a, b});
    }
    return differences;
}

std::optional<TuneDifference> NoteDifference(const TuneFile &first, const TuneFile &second) {
    if (first.note == second.note)
        return std::nullopt;
    const auto shown = [](const QString &note) {
        return note.isEmpty() ? QStringLiteral("(none)") : JsonText(QJsonValue(note));
    };
    const auto typed = [](const QString &note) {
        return note.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(note);
    };
    return TuneDifference{QStringLiteral("note"), shown(first.note), shown(second.note),
                          typed(first.note), typed(second.note)};
}

QByteArray DifferenceJson(const QList<TuneDifference> &differences, const QString &firstHeading,
                          const QString &secondHeading, bool equal) {
    QJsonArray rows;
    for (const TuneDifference &row : differences)
        rows.append(QJsonObject{{QStringLiteral("setting"), row.key},
                                {QStringLiteral("first"), row.firstValue},
                                {QStringLiteral("second"), row.secondValue}});
    const QJsonObject document{{QStringLiteral("first"), firstHeading},
                               {QStringLiteral("second"), secondHeading},
                               {QStringLiteral("equal"), equal},
                               {QStringLiteral("differences"), rows}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QString TextTable(const QList<QStringList> &rows) {
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths.at(i), row.at(i).size());
        }
    }
    QString table;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i) + 2) : row.at(i);
        table += line + u'\n';
    }
    return table;
}

QString DifferenceTable(const QList<TuneDifference> &differences, const QString &firstHeading,
                        const QString &secondHeading) {
    QList<QStringList> rows{{QStringLiteral("setting"), firstHeading, secondHeading}};
    for (const TuneDifference &difference : differences)
        rows.append({difference.key, difference.first, difference.second});
    return TextTable(rows);
}

} // namespace tuner
