#pragma once

// One run of dccd-ctl: what it was asked, the ports, and the commands (session.cpp; the tunes
// it reads in tune_sources.cpp; the commands in commands.cpp and write_command.cpp). The tunes
// core does the work and says what happened; this front prints it and chooses the exit code.

#include "ctl/command_line.h"
#include "ctl/exit_codes.h"
#include "link/exchange/controller_connection.h"
#include "link/ports/port_table.h"
#include "link/serial/serial_port_service.h"
#include "tunes/exchange/backup.h"
#include "tunes/exchange/connection_check.h"
#include "tunes/exchange/tune_reading.h"
#include "tunes/exchange/verified_write.h"
#include "tunes/files/tune_file.h"

#include <QCommandLineParser>
#include <QString>
#include <QTextStream>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace tuner {

inline constexpr double kDefaultTimeoutSeconds = std::chrono::duration<double>(kAnswerTime).count();

struct CtlCommand;

template <typename T> using Outcome = std::variant<T, CtlFailure>;

// A tune and the name it goes by in a table ("street.json", "port 1", "defaults").
struct NamedTune {
    QString heading;
    TuneFile file;
};

// What a write sends, the note of the restore point taken before it, and the restore point it
// writes back ("" for a tune file), held in use until the write has ended.
struct WriteSource {
    TuningParameters tune;
    QString note;
    QString restorePoint;
    RestorePointInUse inUse;
};

// A command runs under the application's event loop: Start returns at once, and the command
// ends by calling `done` with the exit code, once (at once for what needs no controller).
class Ctl {
public:
    using Done = std::function<void(int)>;

    Ctl(QTextStream &out, QTextStream &err);
    ~Ctl();
    Ctl(const Ctl &) = delete;
    Ctl &operator=(const Ctl &) = delete;

    void Start(const QStringList &arguments, Done done);

private:
    // The command table names the members that run the commands.
    friend const QList<CtlCommand> &CtlCommands();

    void Say(const QString &message) {
        m_err << kProgram << ": " << message << '\n';
        m_err.flush();
    }
    void Fail(const CtlFailure &failure) {
        Say(failure.message);
        End(failure.exitCode);
    }
    int FailNow(const CtlFailure &failure) {
        Say(failure.message);
        return failure.exitCode;
    }
    int Print(const QString &text) {
        m_out << text;
        m_out.flush();
        return kExitOk;
    }
    void End(int code);

    // What ends at once (help, version, the port list, a mistake) and the general options.
    std::optional<int> TakeGeneralOptions(const QCommandLineParser &parser);
    void Perform(const Request &request);

    Outcome<qint16> ChosenPort() const;
    CtlFailure WithAdvice(const ExchangeProblem &problem, qint16 port) const;
    SerialPortService &PortService();
    std::function<QString(qint16)> DevicePaths() const;

    using Loaded = std::function<void(const Outcome<NamedTune> &)>;
    void ReadPort(qint16 number, const Loaded &then);
    void Load(const QString &source, const Loaded &then);

    void Read(const Request &request);
    void BackUp(const Request &request);
    void Check(const Request &request);
    void Write(const Request &request);
    void Diff(const Request &request);
    void ListRestorePoints(const Request &request);
    void Defaults(const Request &request);

    Outcome<WriteSource> SourceOf(const Request &request, qint16 port);
    void Written(const WriteOutcome &outcome, const Request &request, qint16 port);
    void BackedUp(const BackupOutcome &outcome, qint16 port);
    void Checked(const ConnectionReport &report, qint16 port);

    QTextStream &m_out;
    QTextStream &m_err;
    Done m_done;
    CtlOptions m_options;
    comfunct::PortTable m_ports;  // numbers to devices, with the --port replacements
    std::optional<qint16> m_port; // the first --port; the lowest existing port when absent
    std::chrono::milliseconds m_timeout{static_cast<int>(kDefaultTimeoutSeconds * 1000)};
    // The port service the exchanges talk through, and every exchange of this run, kept until
    // the run ends (an exchange ends inside its own signal, and a second read of diff starts
    // there), each going before the service.
    std::unique_ptr<SerialPortService> m_service;
    std::vector<std::unique_ptr<QObject>> m_exchanges;
};

} // namespace tuner
