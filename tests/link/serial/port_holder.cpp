// Holds a port open through the real service until its stdin ends: another program using it.
// Prints "open" or "failed: <reason>" as its first line.

#include "link/ports/port_table.h"
#include "link/protocol/records.h"
#include "link/serial/port_service_linux.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    comfunct::PortTable ports;
    ports.SetDevicePath(1, QFile::decodeName(argv[1]));
    tuner::QtSerialPortService service(ports);
    service.SetCommPort(1);
    service.SetSettings(tuner::LineSettingsText(tuner::kLineSettings));
    if (!service.SetPortOpen(true)) {
        std::printf("failed: %s\n", service.LastError().toLocal8Bit().constData());
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    service.SetPortOpen(false);
    return 0;
}
