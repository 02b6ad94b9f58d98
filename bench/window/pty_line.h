#pragma once

// The far end of a serial line for the window benchmarks: a raw pseudo-terminal whose device is
// port 1 of a port table. Closed with the object.

#include "link/ports/port_table.h"

#include <QString>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

class PtyLine {
public:
    PtyLine() {
        char name[256] = {};
        if (openpty(&m_controller, &m_device, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        tcgetattr(m_controller, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_controller, TCSANOW, &raw);
        ports.SetDevicePath(1, QString::fromLocal8Bit(name));
    }
    ~PtyLine() {
        if (m_controller >= 0) {
            close(m_controller);
            close(m_device);
        }
    }
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    bool Opened() const { return m_controller >= 0; }
    // The controller's end: what the program writes arrives here, and what is written here
    // arrives at the program.
    int Controller() const { return m_controller; }

    comfunct::PortTable ports;

private:
    int m_controller = -1;
    int m_device = -1;
};

} // namespace bench
