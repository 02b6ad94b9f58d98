#pragma once

#include "window/dccd.h"

#include <QElapsedTimer>
#include <QList>

#include <functional>

class QIODevice;

namespace tuner {

// Writes every change of what the window shows to a device, one line each:
// "<ms since start> <control>.<Property> <value>", e.g. "812 tStatus.Caption Disconnected.".
// For diagnosing a user's session and for tests that drive the real program from outside.
// Install it after the adapter; it passes every change on to the adapter's hook first.
class ShownTrace {
public:
    ShownTrace(DCCD &window, QIODevice &out);
    ~ShownTrace();
    ShownTrace(const ShownTrace &) = delete;
    ShownTrace &operator=(const ShownTrace &) = delete;

private:
    void Write(const Control &control, ControlProperty property);

    DCCD &window_;
    QIODevice &out_;
    QElapsedTimer clock_;
    QList<std::function<void(const Control &, ControlProperty)>> previous_;
};

} // namespace tuner
