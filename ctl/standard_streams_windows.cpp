#include "ctl/standard_streams.h"

#include <windows.h>

#include <cstdlib>

namespace tuner {
namespace {

UINT g_consoleCodePage = 0; // the console's own, given back at the end

void GiveBackCodePage() {
    SetConsoleOutputCP(g_consoleCodePage);
}

} // namespace

// Nothing to hold: files and ports are opened as handles, never as the C runtime's descriptors
// 0 to 2, so a closed standard stream cannot lend its number to a port. Writing to one fails,
// which is seen as a failed write.
void HoldClosedStandardStreams() {}

// GetConsoleOutputCP gives 0 when the program has no console (output to a file or a pipe).
void ShowUtf8OnConsole() {
    const UINT codePage = GetConsoleOutputCP();
    if (codePage == 0 || codePage == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8))
        return;
    g_consoleCodePage = codePage;
    std::atexit(GiveBackCodePage);
}

} // namespace tuner
