#include "app/command_line.h"
#include "app/graphical_session.h"
#include "app/trace_file.h"
#include "link/ports/port_table.h"
#include "link/serial/serial_port_service.h"
#include "window/dccd.h"
#include "window/qt/dccd_window.h"
#include "window/shown_trace.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <memory>
#include <optional>
#include <variant>

int main(int argc, char **argv) {
    // The command line comes first: --help, --version, --list-ports, --dump-layout and errors need
    // no display.
    // The one port table of the run: the command line fills it, the window lists it, the port
    // service opens through it.
    comfunct::PortTable ports;
    std::optional<qint16> chosenPort;
    if (const std::optional<int> exitCode = tuner::TakeCommandLine(argc, argv, ports, chosenPort))
        return *exitCode;

    const std::unique_ptr<QApplication> app = tuner::StartGraphicalSession(argc, argv);
    // The window's class (WM_CLASS) and the desktop file name are the desktop entry's, so the
    // desktop shows the launcher's name and icon for the running window.
    QApplication::setApplicationName(QStringLiteral(DCCD_APP_ID));
    QApplication::setDesktopFileName(QStringLiteral(DCCD_APP_ID));
    if (!tuner::DccdWindow::InstallFontSubstitutes())
        QTextStream(stderr) << "dccd-tuner: the built-in chancery face cannot be loaded; the logo "
                               "is drawn in another face\n";

    const std::unique_ptr<tuner::SerialPortService> port = tuner::MakePortService(ports);
    // A port named on the command line is preselected even when its device is missing or
    // wrong: Connect then says why, and no other device is ever opened in its place.
    tuner::DCCD model(*port, {[&ports, chosenPort] { return ports.Scan(chosenPort); },
                              [&ports](qint16 n) { return ports.DevicePath(n); },
                              [&ports] { return ports.Describe(); }});
    tuner::DccdWindow window(model);
    // Exit and the close box end the program the same way: the port closed, the window gone,
    // then the loop.
    QObject::connect(&model, &tuner::DCCD::ProgramEnds, app.get(),
                     [] { QCoreApplication::exit(0); });
    // DCCD_TUNER_TRACE=<file> records everything the window shows, for a bug report.
    // The window starts whether or not the trace can be written.
    const QString tracePath = qEnvironmentVariable("DCCD_TUNER_TRACE");
    std::unique_ptr<QFile> traceFile;
    std::optional<tuner::ShownTrace> trace;
    if (!tracePath.isEmpty()) {
        auto opened = tuner::OpenTraceFile(tracePath);
        if (auto *file = std::get_if<std::unique_ptr<QFile>>(&opened)) {
            traceFile = std::move(*file);
            trace.emplace(model, *traceFile);
        } else {
            QTextStream(stderr) << tuner::TraceRefusal(tracePath, std::get<QString>(opened))
                                << '\n';
        }
    }
    model.Form_Load();
    window.show();
    const int status = QApplication::exec();
    // A save the line never took is told once more where it outlives the window.
    if (!model.ClosingNotice().isEmpty()) {
        QTextStream(stderr) << "dccd-tuner: " << model.ClosingNotice() << '\n';
        return status == 0 ? 1 : status;
    }
    return status;
}
