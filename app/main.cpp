#include "app/command_line.h"

#include <QApplication>
#include <QFile>

int main(int argc, char **argv) {
    // The command line comes first: --help, --version, --list-ports and errors need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    if (const std::optional<int> exitCode = tuner::ApplyCommandLine(arguments))
        return *exitCode;

    QApplication app(argc, argv);
    // The window is created here, its Form_Load run, then it is shown and app.exec() runs.
    return 0;
}
