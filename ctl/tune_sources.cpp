#include "ctl/session.h"

#include "link/ports/port_option.h"
#include "link/ports/port_platform.h"
#include "tunes/exchange/tune_reading.h"
#include "tunes/files/shown_text.h"
#include "tunes/files/tune_file_io.h"

namespace tuner {

Outcome<qint16> Ctl::ChosenPort() const {
    if (m_port)
        return *m_port;
    const comfunct::PortScan scan = m_ports.Scan();
    // Without a port 1 to 16, the lowest of the higher ones (COM23 on Windows).
    if (scan.defaultPort > comfunct::kLastListedPort && !scan.unlisted.isEmpty())
        return scan.unlisted.constFirst();
    if (scan.defaultPort > comfunct::kLastListedPort)
        return CtlFailure{kExitCannotOpen,
                          QStringLiteral("No serial port exists; name one with --port N=DEVICE "
                                         "(see ") +
                              kProgram + QStringLiteral(" --list-ports).")};
    return scan.defaultPort;
}

// A failed exchange as dccd-ctl ends on it, with what to do next where the program knows more
// than the failure: which ports there are, and that a port nobody named was only a guess.
CtlFailure Ctl::WithAdvice(const ExchangeProblem &problem, qint16 port) const {
    CtlFailure failure = FailureOf(problem);
    const QString listPorts = kProgram + QStringLiteral(" --list-ports");
    if (problem.kind == ExchangeFailure::CannotOpen && m_port)
        failure.message += QStringLiteral("\n%1 shows the ports there are.").arg(listPorts);
    else if (problem.kind != ExchangeFailure::LineLost && !m_port)
        failure.message +=
            QStringLiteral("\nPort %1 was taken as the lowest port that exists; if the controller "
                           "is on another, name it with --port N (%2 shows them).")
                .arg(port)
                .arg(listPorts);
    return failure;
}

SerialPortService &Ctl::PortService() {
    if (!m_service)
        m_service = MakePortService(m_ports);
    return *m_service;
}

std::function<QString(qint16)> Ctl::DevicePaths() const {
    return [this](qint16 n) { return m_ports.DevicePath(n); };
}

void Ctl::ReadPort(qint16 number, const Loaded &then) {
    auto *reading = new TuneReading(PortService(), DevicePaths(), m_timeout);
    m_exchanges.emplace_back(reading);
    QObject::connect(reading, &TuneReading::Waiting, reading,
                     [this](const QString &notice) { Say(notice); });
    QObject::connect(reading, &TuneReading::Finished, reading,
                     [this, number, then](const TuneReadOutcome &outcome) {
                         if (const auto *problem = std::get_if<ExchangeProblem>(&outcome))
                             return then(WithAdvice(*problem, number));
                         then(NamedTune{QStringLiteral("port ") + QString::number(number),
                                        std::get<TuneFile>(outcome)});
                     });
    reading->Start(number);
}

// A tune file, "port" (the chosen port), "port:N" or "defaults"; `then` is called at once for
// all but a port.
void Ctl::Load(const QString &source, const Loaded &then) {
    if (source == u"defaults")
        return then(NamedTune{source, TuneFile{DefaultSettings(), {}, {}, 0}});
    if (source == u"port") {
        const Outcome<qint16> port = ChosenPort();
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&port))
            return then(*failure);
        return ReadPort(std::get<qint16>(port), then);
    }
    if (source.startsWith(u"port:")) {
        const std::optional<PortChoice> choice = ReadPortChoice(source.mid(5));
        if (!choice || !choice->device.isEmpty())
            return then(Usage(QStringLiteral("'") + source +
                              QStringLiteral("' names no port: use port:N with N from 1 to %1")
                                  .arg(comfunct::platform::LastPortNumber())));
        return ReadPort(choice->number, then);
    }
    auto file = ReadTuneFile(source);
    if (const QString *problem = std::get_if<QString>(&file))
        return then(CtlFailure{kExitBadFile, *problem});
    then(NamedTune{EscapedText(source), std::get<TuneFile>(file)});
}

} // namespace tuner
