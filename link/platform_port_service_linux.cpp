#include "link/platform_port_service.h"

#include "link/qt_serial_port_service.h"

namespace tuner {

std::unique_ptr<SerialPortService> MakePortService(const comfunct::PortTable &ports,
                                                   QObject *parent) {
    return std::make_unique<QtSerialPortService>(ports, parent);
}

} // namespace tuner
