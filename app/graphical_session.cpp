#include "app/graphical_session.h"

#include "app/program_start.h"
#include "link/text/program_arguments.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QList>
#include <QMessageBox>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace tuner {
namespace {

struct Message {
    QtMsgType type;
    QString text;
    QByteArray file, function, category; // the context's strings, kept alive
};

QtMessageHandler g_previous = nullptr;
QList<Message> *g_held = nullptr;
const WindowProgram *g_program = nullptr;

// While the application object is being made, the toolkit's messages are held back: they are
// passed on when a display was found, and replaced by one plain sentence when none was.
void HoldMessage(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (type == QtFatalMsg) {
        const QByteArray message = NoGraphicalSessionMessage(*g_program).toLocal8Bit();
        std::fwrite(message.constData(), 1, static_cast<size_t>(message.size()), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    g_held->append({type, text, context.file, context.function, context.category});
}

// What the command line printed, in a window of its own: the program ends when it is closed.
void ShowPrinted(int &argc, char **argv, const WindowProgram &program, const QString &printed,
                 bool refused) {
    const std::unique_ptr<QApplication> app = StartGraphicalSession(argc, argv, program);
    QMessageBox box(refused ? QMessageBox::Critical : QMessageBox::Information, program.name,
                    printed.trimmed(), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Help and port listings are laid out in columns.
    if (!refused)
        box.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QObject::connect(&box, &QMessageBox::finished, app.get(), &QCoreApplication::quit);
    box.show();
    QApplication::exec();
}

} // namespace

std::optional<int> TakeCommandLine(int &argc, char **argv, comfunct::PortTable &ports,
                                   std::optional<qint16> &chosenPort,
                                   const WindowProgram &program) {
    const bool printedReachesSomeone = UseParentConsole();
    const QStringList arguments = ProgramArguments(argc, argv);
    if (printedReachesSomeone)
        return ApplyCommandLine(arguments, ports, &chosenPort, program);
    QString printed;
    QTextStream stream(&printed);
    const std::optional<int> exitCode =
        ApplyCommandLine(arguments, ports, stream, stream, &chosenPort, program);
    stream.flush();
    if (exitCode && !printed.isEmpty())
        ShowPrinted(argc, argv, program, printed, *exitCode != 0);
    return exitCode;
}

QString NoGraphicalSessionMessage(const WindowProgram &program) {
    QString message = QStringLiteral("%1: %2 needs a graphical session, and %3.\nStart it from a "
                                     "desktop session")
                          .arg(program.name, program.window, MissingSessionReason());
    // Only the tuner lists ports; dccd-ctl works without a display.
    message += program.tunerOptions
                   ? QStringLiteral("; '%1 --list-ports' lists the serial ports without one.\n")
                         .arg(program.name)
                   : QStringLiteral("; 'dccd-ctl' does what it does without one.\n");
    return message;
}

std::unique_ptr<QApplication> StartGraphicalSession(int &argc, char **argv,
                                                    const WindowProgram &program) {
    QList<Message> held;
    g_program = &program;
    g_held = &held;
    g_previous = qInstallMessageHandler(HoldMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_previous);
    g_held = nullptr;
    for (const Message &message : std::as_const(held)) {
        const QMessageLogContext context(
            message.file.isEmpty() ? nullptr : message.file.constData(), 0,
            message.function.isEmpty() ? nullptr : message.function.constData(),
            message.category.isEmpty() ? "default" : message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    return app;
}

} // namespace tuner
