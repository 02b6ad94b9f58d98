#include "link/exchange/port_messages.h"

#include "link/ports/comfunct.h"
#include "link/ports/port_platform.h"
#include "link/serial/line_settings.h"
#include "link/text/shown_text.h"

namespace tuner {

QString PortWithDevice(qint16 number, const QString &device) {
    if (device.isEmpty())
        return QString::number(number);
    return QString::number(number) + QStringLiteral(" (") + EscapedText(device) + u')';
}

QString PortWithDevice(qint16 number, const std::function<QString(qint16)> &devicePath,
                       DeviceForm form) {
    const QString device = devicePath ? devicePath(number) : QString();
    if (form == DeviceForm::Short && !device.isEmpty())
        return PortWithDevice(number, comfunct::ShortDeviceName(device));
    return PortWithDevice(number, device);
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

QString NotAPortNumberReason(const QString &typed) {
    const std::optional<qint16> named = comfunct::platform::NumberOfPortName(typed.trimmed());
    if (!named)
        return QStringLiteral("not a port number");
    return QStringLiteral("not a port number; type %1").arg(*named);
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

QString NotAReportMessage(const QString &port, const QString &received) {
    constexpr qsizetype kShown = 40;
    QString shown = PrintableText(QStringView(received).left(kShown));
    if (received.size() > kShown)
        shown += QChar(0x2026);
    return QStringLiteral("port %1 answered, but not with a settings report (%2): is this the "
                          "controller, at %3 baud?")
        .arg(port, shown)
        .arg(kLineSettings.baud);
}

} // namespace tuner
