#include "app/graphical_session.h"

#include "app/program_start.h"

#include <QByteArray>
#include <QList>

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

} // namespace

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
