#pragma once

// The Settings table of the DCCD Tunes window: one row for each setting, named as the tuner's
// window names it, and what Write to controller says and sends from it.

#include "tunes/files/tune_differences.h"
#include "tunes/files/tune_file.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tuner {

struct SettingRow {
    QString key;                                // its key in a tune file, "acceleration"
    QString name;                               // "Acceleration %", "TPS"
    QString selected, controller, defaultValue; // as shown; "" when there is nothing to show
    bool differs = false;                       // the selected tune and the controller differ here
    bool checked = false;                       // Write to controller sends this row
};

// The rows for a selected tune and the controller as last read, either unknown. A row is marked
// and checked where both are known and differ; with no controller read, every row of the
// selected tune is checked (a write sends the whole tune).
QList<SettingRow> SettingRows(const std::optional<TuningParameters> &selected,
                              const std::optional<TuningParameters> &controller);

// The name a setting has in the table ("Acceleration %"), from its key in a tune file.
QString SettingName(const QString &key);

// The keys of the checked rows; empty when every row is checked (the whole tune is sent).
QStringList CheckedKeys(const QList<SettingRow> &rows);

// The confirmation's lines of change, "Acceleration % 131 → 77", one for each setting that
// differs between what the controller holds and what would be sent.
QStringList ChangeLines(const TuningParameters &held, const TuningParameters &sent);

} // namespace tuner
