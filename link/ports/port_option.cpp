#include "link/ports/port_option.h"

#include "link/ports/port_platform.h"
#include "link/text/shown_text.h"

namespace tuner {
namespace {

QString Column(const QString &text, int width) {
    return text.leftJustified(width);
}

} // namespace

QString PortNameNote() {
    const QString example = comfunct::platform::PortNameExample();
    return example.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(example);
}

std::optional<PortChoice> ReadPortChoice(const QString &value) {
    const qsizetype equals = value.indexOf(u'=');
    const QStringView number = equals < 0 ? QStringView(value) : QStringView(value).left(equals);
    std::optional<qint16> n = comfunct::PlainPortNumber(number);
    if (!n)
        n = comfunct::platform::NumberOfPortName(number);
    if (!n)
        return std::nullopt;
    if (equals >= 0 && equals == value.size() - 1)
        return std::nullopt; // "N=" names no device
    return PortChoice{*n, equals < 0 ? QString() : value.mid(equals + 1)};
}

namespace {

// A number given two devices would silently lose one of them: the user meant one.
std::optional<QString> TwoDevices(const QList<PortChoice> &choices, const QStringList &values) {
    for (qsizetype i = 0; i < choices.size(); ++i) {
        for (qsizetype j = 0; j < i; ++j) {
            if (choices[j].number == choices[i].number && !choices[j].device.isEmpty() &&
                !choices[i].device.isEmpty() && choices[j].device != choices[i].device)
                return QStringLiteral("--port '%1' and '%2' give port %3 two devices; give each "
                                      "port one N=DEVICE")
                    .arg(EscapedText(values[j]), EscapedText(values[i]))
                    .arg(choices[i].number);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> ApplyPortChoices(const QStringList &values, comfunct::PortTable &ports,
                                        std::optional<qint16> &chosen) {
    QList<PortChoice> choices;
    for (const QString &value : values) {
        const std::optional<PortChoice> choice = ReadPortChoice(value);
        if (!choice)
            return QStringLiteral("--port wants N or N=DEVICE with N from 1 to %1%2, not '%3'")
                .arg(comfunct::platform::LastPortNumber())
                .arg(PortNameNote(), EscapedText(value));
        choices.append(*choice);
    }
    if (const std::optional<QString> refusal = TwoDevices(choices, values))
        return refusal;
    for (const PortChoice &choice : choices) {
        if (!choice.device.isEmpty())
            ports.SetDevicePath(choice.number, choice.device);
        if (!chosen)
            chosen = choice.number;
    }
    return std::nullopt;
}

QString PortListing(const comfunct::PortTable &ports) {
    QString listing = Column(QStringLiteral("Port"), 6) + Column(QStringLiteral("Device"), 24) +
                      Column(QStringLiteral("Exists"), 8) + QStringLiteral("About\n");
    const QList<comfunct::PortInfo> table = ports.Describe();
    for (const comfunct::PortInfo &port : table) {
        QStringList about;
        for (const QString &part : {port.description, port.manufacturer})
            if (!part.isEmpty())
                about.append(EscapedText(part));
        if (!port.serialNumber.isEmpty())
            about.append(QStringLiteral("serial ") + EscapedText(port.serialNumber));
        listing += Column(QString::number(port.number), 6) + Column(EscapedText(port.device), 24) +
                   Column(port.exists ? QStringLiteral("yes") : QStringLiteral("no"), 8) +
                   about.join(QStringLiteral(", "));
        listing = listing.trimmed() + u'\n';
    }
    return listing;
}

} // namespace tuner
