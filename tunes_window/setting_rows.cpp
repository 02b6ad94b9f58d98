#include "tunes_window/setting_rows.h"

#include "window/layout.h"

#include <algorithm>

namespace tuner {
namespace {

// A percentage's name is its label in the tuner's window; a switch's the part of its button's
// caption before " = " ("TPS", "Ebrake Cut"), its values the part after.
QString PercentName(const PercentField &percent) {
    for (const PercentBox &box : PercentBoxes()) {
        if (box.parameter == percent.name)
            return FindLayout(box.label.toString())->caption;
    }
    return percent.fileKey.toString();
}

QString SwitchPart(const SwitchField &flag, bool on, int part) {
    return SwitchCaption(flag, on).section(QStringLiteral(" = "), part, part);
}

QString ShownValue(const QString &key, const TuningParameters &tune) {
    for (const PercentField &percent : kPercents) {
        if (percent.fileKey == key)
            return WholeText(tune.*percent.value);
    }
    for (const SwitchField &flag : kSwitches) {
        if (flag.fileKey == key)
            return SwitchPart(flag, tune.*flag.value, 1);
    }
    return {};
}

QString Shown(const QString &key, const std::optional<TuningParameters> &tune) {
    return tune ? ShownValue(key, *tune) : QString();
}

} // namespace

QString SettingName(const QString &key) {
    for (const PercentField &percent : kPercents) {
        if (percent.fileKey == key)
            return PercentName(percent);
    }
    for (const SwitchField &flag : kSwitches) {
        if (flag.fileKey == key)
            return SwitchPart(flag, false, 0);
    }
    return key;
}

QList<SettingRow> SettingRows(const std::optional<TuningParameters> &selected,
                              const std::optional<TuningParameters> &controller) {
    QStringList differing;
    if (selected && controller) {
        for (const TuneDifference &difference : Differences(*controller, *selected))
            differing.append(difference.key);
    }
    const TuningParameters defaults = DefaultSettings();
    QList<SettingRow> rows;
    for (const QString &key : SettingKeys()) {
        const bool differs = differing.contains(key);
        rows.append({key, SettingName(key), Shown(key, selected), Shown(key, controller),
                     ShownValue(key, defaults), differs,
                     differs || (selected.has_value() && !controller.has_value())});
    }
    return rows;
}

QStringList CheckedKeys(const QList<SettingRow> &rows) {
    QStringList keys;
    for (const SettingRow &row : rows) {
        if (row.checked)
            keys.append(row.key);
    }
    return keys.size() == rows.size() ? QStringList() : keys;
}

QStringList ChangeLines(const TuningParameters &held, const TuningParameters &sent) {
    QStringList lines;
    for (const TuneDifference &difference : Differences(held, sent))
        lines.append(QStringLiteral("%1 %2 → %3")
                         .arg(SettingName(difference.key), ShownValue(difference.key, held),
                              ShownValue(difference.key, sent)));
    return lines;
}

} // namespace tuner
