#pragma once

#include "window/dccd.h"

#include <QString>
#include <QStringList>

namespace tuner::testing {

// One control as one text: every property the handlers can change.
inline QString ControlState(const Control &c) {
    return c.Name() + u'|' + c.Caption() + u'|' + c.Text() + u'|' +
           (c.Enabled() ? QStringLiteral("on") : QStringLiteral("off")) + u'|' +
           QString::number(c.FillColor()) + u'|' + c.Items().join(u';');
}

// Everything the user can see and the settings the window holds, one text per item.
inline QStringList WindowSnapshot(const DCCD &w) {
    QStringList out;
    for (const Control *c : w.Controls())
        out.append(ControlState(*c));
    QString settings = QStringLiteral("settings");
    for (const PercentField &percent : kPercents)
        settings += QStringLiteral("|%1").arg(w.*percent.value);
    for (const SwitchField &flag : kSwitches)
        settings += QStringLiteral("|%1").arg(w.*flag.value);
    out.append(settings);
    return out;
}

} // namespace tuner::testing
