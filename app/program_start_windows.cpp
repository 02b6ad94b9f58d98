#include "app/program_start.h"

#include <windows.h>

#include <cstdio>

namespace tuner {
namespace {

// True when the standard handle leads somewhere already (a console, a file, a pipe).
bool Connected(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

// A GUI-subsystem program gets no console: it borrows its parent's, when it has one, for the
// output that is not redirected. Without a console, output and errors must both have been
// redirected for either to reach someone.
bool UseParentConsole() {
    const bool out = Connected(STD_OUTPUT_HANDLE);
    const bool err = Connected(STD_ERROR_HANDLE);
    if (out && err)
        return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return false;
    if (!out && std::freopen("CONOUT$", "w", stdout) == nullptr)
        return false;
    return err || std::freopen("CONOUT$", "w", stderr) != nullptr;
}

QString PortExamples() {
    return QStringLiteral("--port 1=COM23 or --port 2=\\\\.\\COM12");
}

QString MissingSessionReason() {
    return QStringLiteral("no desktop can be reached");
}

} // namespace tuner
