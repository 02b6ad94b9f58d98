#include "app/program_start.h"

namespace tuner {

bool UseParentConsole() {
    return true;
}

QString PortExamples() {
    return QStringLiteral("--port 1=/dev/pts/3 or --port 2=/dev/serial/by-id/usb-...");
}

QString MissingSessionReason() {
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty() && wayland.isEmpty())
        return QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
    return QStringLiteral("the display %1 does not answer")
        .arg(display.isEmpty() ? wayland + QStringLiteral(" (WAYLAND_DISPLAY)")
                               : display + QStringLiteral(" (DISPLAY)"));
}

} // namespace tuner
