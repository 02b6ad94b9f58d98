#include "app/command_line.h"
#include "app/graphical_session.h"
#include "link/comfunct.h"
#include "link/qt_serial_port_service.h"
#include "window/dccd.h"
#include "window/qt/dccd_window.h"
#include "window/shown_trace.h"

#include <QApplication>
#include <QFile>

#include <optional>

int main(int argc, char **argv) {
    // The command line comes first: --help, --version, --list-ports and errors need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    if (const std::optional<int> exitCode = tuner::ApplyCommandLine(arguments))
        return *exitCode;

    const std::unique_ptr<QApplication> app = tuner::StartGraphicalSession(argc, argv);
    // The window's class (WM_CLASS) and the desktop file name are the desktop entry's, so the
    // desktop shows the launcher's name and icon for the running window.
    QApplication::setApplicationName(QStringLiteral(DCCD_APP_ID));
    QApplication::setDesktopFileName(QStringLiteral(DCCD_APP_ID));
    tuner::DccdWindow::InstallFontSubstitutes();

    tuner::QtSerialPortService port;
    tuner::DCCD model(port, {[] { return comfunct::ScanPorts(); }, &comfunct::DevicePath});
    tuner::DccdWindow window(model);
    // Exit and the close box end the program the same way: the port closed, then the loop.
    model.EndProgram = [&window] {
        window.close();
        QCoreApplication::exit(0);
    };
    // DCCD_TUNER_TRACE=<file> records everything the window shows, for a bug report.
    QFile traceFile(qEnvironmentVariable("DCCD_TUNER_TRACE"));
    std::optional<tuner::ShownTrace> trace;
    if (!traceFile.fileName().isEmpty() &&
        traceFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        trace.emplace(model, traceFile);
    model.Form_Load();
    window.show();
    return QApplication::exec();
}
