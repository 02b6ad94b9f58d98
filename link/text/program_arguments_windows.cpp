#include "link/text/program_arguments.h"

#include <windows.h>

#include <shellapi.h>

namespace tuner {

// The wide command line, split as the C runtime and Qt split it: the narrow argv holds only
// what the ANSI code page can spell. Windows arguments are UTF-16, so no byte is ever stray.
QStringList ProgramArguments(int argc, char **argv) {
    QStringList arguments;
    int count = 0;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count); wide != nullptr) {
        for (int i = 0; i < count; ++i)
            arguments.append(QString::fromWCharArray(wide[i]));
        LocalFree(wide);
        return arguments;
    }
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace tuner
