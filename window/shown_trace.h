#pragma once

#include "window/dccd.h"

#include <QElapsedTimer>
#include <QList>

#include <utility>

class QIODevice;

namespace tuner {

// Writes every change of what the window shows to a device, one line each:
// "<ms since start> <control>.<Property> <value>", e.g. "812 tStatus.Caption Disconnected.".
// For diagnosing a user's session and for tests that drive the real program from outside.
class ShownTrace {
public:
    ShownTrace(DCCD &window, QIODevice &out);
    ~ShownTrace();
    ShownTrace(const ShownTrace &) = delete;
    ShownTrace &operator=(const ShownTrace &) = delete;

private:
    void Write(const Control &control, ControlProperty property);

    QIODevice &m_out;
    QElapsedTimer m_clock;
    QList<std::pair<Control *, int>> m_observers;
};

} // namespace tuner
