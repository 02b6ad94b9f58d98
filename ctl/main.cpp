// dccd-ctl: the command-line companion of the tuning window.

#include "ctl/ctl.h"
#include "ctl/standard_streams.h"
#include "tunes/files/named_files.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    tuner::HoldClosedStandardStreams(); // before anything is opened
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dccd-ctl"));
    // Decoded as the system passed them: bytes that need not be UTF-8 on Linux, the wide command
    // line on Windows (so a tune file named in any script is found).
    const QStringList arguments = tuner::ProgramArguments(argc, argv);
    // Devices of their own, so that RunCtl sees a write that fails and the close.
    const std::unique_ptr<QIODevice> standardOutput = tuner::OpenStandardStream(1);
    const std::unique_ptr<QIODevice> standardError = tuner::OpenStandardStream(2);
    QTextStream out(standardOutput.get());
    QTextStream err(standardError.get());
    return tuner::RunCtl(arguments, out, err);
}
