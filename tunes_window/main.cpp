#include "app/command_line.h"
#include "app/graphical_session.h"
#include "link/ports/port_number.h"
#include "link/ports/port_table.h"
#include "link/serial/serial_port_service.h"
#include "tunes_window/qt/tunes_window.h"
#include "tunes_window/tunes_model.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>

#include <memory>
#include <optional>

namespace {

// What the window remembers between runs: its size and the last port, nothing else.
const QString kSizeKey = QStringLiteral("window/size");
const QString kPortKey = QStringLiteral("port/last");

} // namespace

int main(int argc, char **argv) {
    comfunct::PortTable ports;
    std::optional<qint16> chosenPort;
    if (const std::optional<int> exitCode =
            tuner::TakeCommandLine(argc, argv, ports, chosenPort, tuner::TunesProgram()))
        return *exitCode;

    const std::unique_ptr<QApplication> app =
        tuner::StartGraphicalSession(argc, argv, tuner::TunesProgram());
    QApplication::setApplicationName(QStringLiteral("dccd-tunes"));
    QApplication::setOrganizationName(QStringLiteral("dccd-tuner"));
    QApplication::setDesktopFileName(QStringLiteral(DCCD_APP_ID));

    QSettings remembered;
    if (!chosenPort) {
        const int last = remembered.value(kPortKey).toInt();
        if (last > 0)
            chosenPort = static_cast<qint16>(last);
    }
    const std::unique_ptr<tuner::SerialPortService> port = tuner::MakePortService(ports);
    tuner::TunesModel model(*port, {[&ports, chosenPort] { return ports.Scan(chosenPort); },
                                    [&ports](qint16 n) { return ports.DevicePath(n); },
                                    [&ports] { return ports.Describe(); },
                                    [&ports](qint16 n) { return ports.Describe(n); }});
    tuner::TunesWindow window(model);
    // The size of the last run, or 800 × 500 (the size scripts/bench measures), never more than the
    // screen holds (a 1366 × 768 laptop at 150 % has 910 × 512 to give).
    const QSize available = window.screen()->availableGeometry().size() * 0.95;
    window.resize(remembered.value(kSizeKey, QSize(800, 500)).toSize().boundedTo(available));
    model.Load(chosenPort);
    window.show();
    const int status = QApplication::exec();
    remembered.setValue(kSizeKey, window.size());
    if (const std::optional<qint16> last = tuner::PortNumber(model.PortText().trimmed()))
        remembered.setValue(kPortKey, *last);
    return status;
}
