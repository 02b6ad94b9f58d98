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
    out.append(QStringLiteral("settings|%1|%2|%3|%4|%5|%6|%7|%8|%9")
                   .arg(w.Accel)
                   .arg(w.Decel)
                   .arg(w.Turn)
                   .arg(w.MaxOut)
                   .arg(w.MinOut)
                   .arg(w.LfbThreshold)
                   .arg(w.TpsReverse)
                   .arg(w.EbrakeCutOff)
                   .arg(w.GSensorCalibrate));
    return out;
}

} // namespace tuner::testing
