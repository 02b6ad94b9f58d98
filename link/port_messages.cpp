#include "link/port_messages.h"

#include "link/protocol.h"

namespace tuner {

bool OpenControllerPort(SerialPortService &port, qint16 number) {
    port.SetCommPort(number);
    port.SetSettings(kLineSettings);
    port.SetInputLen(0);
    port.SetRThreshold(kReceiveThreshold);
    return port.SetPortOpen(true);
}

QString PortWithDevice(qint16 number, const QString &device) {
    if (device.isEmpty())
        return QString::number(number);
    return QString::number(number) + QStringLiteral(" (") + device + u')';
}

QString ReasonSentence(QString reason) {
    reason = reason.trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    if (reason.isEmpty())
        reason = QStringLiteral("unknown error");
    return reason + u'.';
}

QString CannotOpenMessage(const QString &port, const QString &reason) {
    return QStringLiteral("Cannot open port ") + port + QStringLiteral(": ") +
           ReasonSentence(reason);
}

QString ReadRequestFailedMessage(const QString &reason) {
    return QStringLiteral("Read request failed: ") + ReasonSentence(reason);
}

QString SaveFailedMessage(const QString &reason) {
    return QStringLiteral("Save failed: ") + ReasonSentence(reason);
}

QString ConnectionLostMessage(const QString &reason) {
    return QStringLiteral("Connection lost: ") + ReasonSentence(reason);
}

QString WaitingMessage() {
    return QStringLiteral("Waiting for DCCD to respond... check your com port!");
}

} // namespace tuner
