// dccd-ctl: the command-line companion of the tuning window.

#include "app/ctl.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dccd-ctl"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tuner::RunCtl(arguments, out, err);
}
