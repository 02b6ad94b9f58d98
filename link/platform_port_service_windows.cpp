#include "link/platform_port_service.h"

#include "link/win_serial_port_service.h"

namespace tuner {

std::unique_ptr<SerialPortService> MakePortService(const comfunct::PortTable &ports,
                                                   QObject *parent) {
    return std::make_unique<WinSerialPortService>(ports, parent);
}

} // namespace tuner
