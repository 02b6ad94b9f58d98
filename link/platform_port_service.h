#pragma once

#include "link/serial_port_service.h"

#include <memory>

namespace comfunct {
class PortTable;
}

namespace tuner {

// The serial port service of the platform the program is built for, opening port numbers
// through `ports` (which must outlive it). Create it on the thread that handles OnComm. One file
// per platform defines it (link/platform_port_service_<platform>.cpp), chosen in the top
// CMakeLists.txt.
std::unique_ptr<SerialPortService> MakePortService(const comfunct::PortTable &ports,
                                                   QObject *parent = nullptr);

} // namespace tuner
