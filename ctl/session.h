#pragma once

// One run of dccd-ctl: what it was asked, the ports, and the commands (session.cpp; the tunes
// it reads and writes in tune_sources.cpp; the commands in commands.cpp and write_command.cpp).

#include "ctl/command_line.h"
#include "ctl/exit_codes.h"
#include "ctl/restore_points.h"
#include "ctl/tune_file.h"
#include "link/exchange/controller_connection.h"
#include "link/ports/port_table.h"

#include <QCommandLineParser>
#include <QSaveFile>
#include <QString>
#include <QTextStream>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

namespace tuner {

inline constexpr double kDefaultTimeoutSeconds = 3;

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

class Ctl {
public:
    Ctl(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

    int Run(const QStringList &arguments);

private:
    void Say(const QString &message) {
        m_err << kProgram << ": " << message << '\n';
        m_err.flush();
    }
    int Fail(const CtlFailure &failure) {
        Say(failure.message);
        return failure.exitCode;
    }
    int Print(const QString &text) {
        m_out << text;
        m_out.flush();
        return kExitOk;
    }

    // What ends at once (help, version, the port list, a mistake) and the general options.
    std::optional<int> TakeGeneralOptions(const QCommandLineParser &parser);
    int Perform(const Request &request);

    Outcome<qint16> ChosenPort() const;
    CtlFailure WithAdvice(const ExchangeProblem &problem, qint16 port) const;
    Outcome<NamedTune> ReadPort(qint16 number);
    Outcome<NamedTune> ReadFile(const QString &path) const;
    Outcome<NamedTune> Load(const QString &source);
    std::optional<CtlFailure> WriteTune(const TuneFile &file, QSaveFile *target);

    int ToOutput(const QString &output, const std::function<Outcome<TuneFile>()> &make);
    int Read(const QString &output);
    Outcome<WriteSource> SourceOf(const Request &request, qint16 port);
    Outcome<TuningParameters> BeforeSending(ControllerConnection &connection,
                                            const Request &request, const WriteSource &source,
                                            qint16 port, std::optional<KeptRestorePoint> &taken);
    int SaveAndVerify(ControllerConnection &connection, const TuningParameters &sent,
                      const Request &request, qint16 port);
    int Write(const Request &request);
    int ListRestorePoints();
    int Diff(const QString &first, const QString &second, bool json);
    int Defaults(const QString &output);

    QTextStream &m_out;
    QTextStream &m_err;
    CtlOptions m_options;
    comfunct::PortTable m_ports;  // numbers to devices, with the --port replacements
    std::optional<qint16> m_port; // the first --port; the lowest existing port when absent
    std::chrono::milliseconds m_timeout{static_cast<int>(kDefaultTimeoutSeconds * 1000)};
};

} // namespace tuner
