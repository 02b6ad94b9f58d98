// dccd-ctl: the command-line companion of the tuning window.

#include "ctl/ctl.h"
#include "ctl/named_files.h"
#include "ctl/standard_streams.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv) {
    tuner::HoldClosedStandardStreams(); // before anything is opened
    tuner::ShowUtf8OnConsole();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dccd-ctl"));
    // Decoded as the system passed them: bytes that need not be UTF-8 on Linux, the wide command
    // line on Windows (so a tune file named in any script is found).
    const QStringList arguments = tuner::ProgramArguments(argc, argv);
    // Standard output as a file of its own, so that RunCtl sees a write that fails and the
    // close. Should it not open, the first write to it fails, which RunCtl sees as well.
    QFile standardOutput;
    static_cast<void>(
        standardOutput.open(fileno(stdout), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    QTextStream out(&standardOutput);
    QTextStream err(stderr);
    return tuner::RunCtl(arguments, out, err);
}
