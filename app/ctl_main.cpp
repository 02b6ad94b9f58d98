// dccd-ctl: the command-line companion of the tuning window.

#include "app/ctl.h"
#include "app/program_start.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    const QStringList arguments = tuner::ProgramArguments(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dccd-ctl"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tuner::RunCtl(arguments, out, err);
}
