// dccd-sim: a controller at the far end of a pseudo-terminal.
//
// Prints the device of the line as its first stdout line, then one line per event:
//   received: <record>   a record that arrived (its CR removed; see sim::Printable)
//   sent: <bytes>        what was sent back (the final CR shows as \x0D)
//   stored: <9 values>   a save was taken: "100,100,100,100,0,33,0,0,1"
//   calibrated: g-sensor the save asked for a calibration; the next report shows 0
//   rejected: <why>      a record starting with S that is not a valid save, or a record
//                        longer than 4096 bytes (dropped up to its CR)
//   ignored: <why>       any other record
//   hangup               the line is closed (--hangup-after)
// Ends on SIGTERM, SIGINT or SIGHUP, removing the --link it made.

#include "dccd_version.h"
#include "link/text/program_arguments.h"
#include "link/text/shown_text.h"
#include "sim/controller.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>
#include <variant>

namespace {

using Clock = std::chrono::steady_clock;

struct Piece {
    Clock::time_point due;
    QByteArray bytes;
};

void Say(const QString &line) {
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Fail(const QString &message) {
    const QByteArray bytes = (QStringLiteral("dccd-sim: ") + message + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    return 2;
}

std::optional<int> Whole(const QString &text, int lowest) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest)
        return std::nullopt;
    return value;
}

// What the command line asks for.
struct Options {
    sim::Behaviour behaviour;
    int chunkSize = 0; // 0: each answer in one piece
    int gapMs = 10;
    QString link; // "" for none
};

// The simulator's options as the parser knows them.
struct OptionSet {
    QCommandLineOption link{QStringLiteral("link"),
                            QStringLiteral("Also make a symbolic link to the device here."),
                            QStringLiteral("path")};
    QCommandLineOption values{
        QStringLiteral("values"),
        QStringLiteral("The nine settings as a report's fields 1 to 9 (default "
                       "100,100,100,100,0,33,0,0,0)."),
        QStringLiteral("fields")};
    QCommandLineOption chunk{QStringLiteral("chunk"),
                             QStringLiteral("Send each answer in pieces of n bytes."),
                             QStringLiteral("n")};
    QCommandLineOption gap{QStringLiteral("gap"),
                           QStringLiteral("Milliseconds between the pieces (default 10)."),
                           QStringLiteral("ms"), QStringLiteral("10")};
    QCommandLineOption silent{QStringLiteral("silent"), QStringLiteral("Never answer.")};
    QCommandLineOption noise{QStringLiteral("noise"),
                             QStringLiteral("Send garbage bytes before each report.")};
    QCommandLineOption hangup{
        QStringLiteral("hangup-after"),
        QStringLiteral("Close the line right after the nth record; what came with it is "
                       "dropped."),
        QStringLiteral("n")};
    QCommandLineOption report{
        QStringLiteral("report"),
        QStringLiteral("Answer a read request with this text and a CR instead of a report."),
        QStringLiteral("text")};
    QCommandLineOption forgetful{
        QStringLiteral("forgetful"),
        QStringLiteral("Log each save as stored but keep the old values (a faulty controller).")};

    QList<QCommandLineOption> All() const {
        return {link, values, chunk, gap, silent, noise, hangup, report, forgetful};
    }
};

// What the controller says and holds: the switches of its behaviour and --values. The sentence
// that says what is wrong, or nothing.
std::optional<QString> ReadBehaviour(const QCommandLineParser &parser, const OptionSet &set,
                                     sim::Behaviour &behaviour) {
    behaviour.silent = parser.isSet(set.silent);
    behaviour.noise = parser.isSet(set.noise);
    behaviour.forgetful = parser.isSet(set.forgetful);
    if (parser.isSet(set.report))
        behaviour.report = parser.value(set.report).toLatin1();
    if (parser.isSet(set.values)) {
        const auto parsed = sim::ParseValues(parser.value(set.values));
        if (!parsed)
            return QStringLiteral("--values wants nine fields: six numbers from 0 to the save "
                                  "limits (200,200,200,100,100,100), three truth values");
        behaviour.values = *parsed;
    }
    return std::nullopt;
}

// How each answer is sent: in pieces of --chunk bytes, --gap apart.
std::optional<QString> ReadPacing(const QCommandLineParser &parser, const OptionSet &set,
                                  Options &options) {
    if (parser.isSet(set.chunk)) {
        const auto n = Whole(parser.value(set.chunk), 1);
        if (!n)
            return QStringLiteral("--chunk wants a whole number of at least 1");
        options.chunkSize = *n;
    }
    const auto gapMs = Whole(parser.value(set.gap), 0);
    if (!gapMs)
        return QStringLiteral("--gap wants a whole number of milliseconds");
    options.gapMs = *gapMs;
    return std::nullopt;
}

// When the controller hangs up.
std::optional<QString> ReadHangup(const QCommandLineParser &parser, const OptionSet &set,
                                  sim::Behaviour &behaviour) {
    if (!parser.isSet(set.hangup))
        return std::nullopt;
    const auto n = Whole(parser.value(set.hangup), 1);
    if (!n)
        return QStringLiteral("--hangup-after wants a whole number of at least 1");
    behaviour.hangupAfter = *n;
    return std::nullopt;
}

// The options, or the sentence that says what is wrong with them.
std::variant<Options, QString> ReadOptions(const QStringList &arguments) {
    const OptionSet set;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated controller on a pseudo-terminal. Prints the device, then one "
                       "line per record received or sent."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(set.All());
    parser.process(arguments);

    Options options;
    std::optional<QString> refusal = ReadBehaviour(parser, set, options.behaviour);
    if (!refusal)
        refusal = ReadPacing(parser, set, options);
    if (!refusal)
        refusal = ReadHangup(parser, set, options.behaviour);
    if (refusal)
        return *refusal;
    if (parser.isSet(set.link))
        options.link = parser.value(set.link);
    return options;
}

// SIGTERM, SIGINT and SIGHUP as readable data, so that the loop ends cleanly.
int SignalsAsData() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

// The line: a raw pseudo-terminal at 57600 baud. The slave stays open here too: the line keeps
// its settings and its data while the utility is not connected, and reading the master never
// fails for want of a slave.
struct Line {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QByteArray link; // the link made to the device, "" for none

    ~Line() {
        if (master >= 0)
            ::close(master); // a pulled adapter: the utility's side of the line hangs up
        if (slave >= 0)
            ::close(slave);
        // Only a link that still leads to this line is removed: a user's own or another
        // simulator's is left alone.
        if (!link.isEmpty()) {
            char target[256] = {};
            if (::readlink(link.constData(), target, sizeof target - 1) >= 0 &&
                std::strcmp(target, name) == 0)
                ::unlink(link.constData());
        }
    }
};

// Opens the line, or says why it cannot.
std::optional<QString> OpenLine(Line &line) {
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B57600);
    cfsetospeed(&raw, B57600);
    if (openpty(&line.master, &line.slave, line.name, &raw, nullptr) != 0)
        return QStringLiteral("cannot open a pseudo-terminal: ") +
               QString::fromLocal8Bit(std::strerror(errno));
    ::fcntl(line.master, F_SETFL, ::fcntl(line.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(line.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(line.slave, F_SETFD, FD_CLOEXEC);
    return std::nullopt;
}

// Makes the link only where nothing stands (symlink never replaces), or says why it cannot.
std::optional<QString> MakeLink(Line &line, const QString &link) {
    const QByteArray path = QFile::encodeName(link);
    if (::symlink(line.name, path.constData()) != 0) {
        if (errno == EEXIST)
            return QStringLiteral("--link: %1 already exists; remove it or choose another path")
                .arg(tuner::EscapedText(link));
        return QStringLiteral("cannot make the link: ") +
               QString::fromLocal8Bit(std::strerror(errno));
    }
    line.link = path;
    return std::nullopt;
}

// The controller at the far end of the line, until a signal or its hang-up.
class Loop {
public:
    Loop(const Line &line, int signals, Options options)
        : m_line(line), m_signals(signals), m_chunkSize(options.chunkSize), m_gap(options.gapMs),
          m_controller(std::move(options.behaviour)) {}

    void Run() {
        while (true) {
            if (m_hangingUp && m_outgoing.empty()) {
                Say(QStringLiteral("hangup"));
                return;
            }
            if (!Wait())
                return;
            SendWhatIsDue();
        }
    }

private:
    // Sleeps until a line or a signal arrives, the next piece is due, or there is room for a
    // piece that is due: no timer runs while nothing is to be sent. False to end.
    bool Wait() {
        int timeout = -1;
        // Once hanging up, nothing more is read: only the answers already due go out.
        pollfd fds[2] = {{m_line.master, static_cast<short>(m_hangingUp ? 0 : POLLIN), 0},
                         {m_signals, POLLIN, 0}};
        if (!m_outgoing.empty()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(m_outgoing.front().due - Clock::now());
            if (wait.count() > 0)
                timeout = static_cast<int>(wait.count());
            else
                fds[0].events |= POLLOUT;
        }
        if (::poll(fds, 2, timeout) < 0)
            return errno == EINTR;
        if (fds[1].revents & POLLIN)
            return false;
        if (fds[0].revents & POLLIN)
            Receive();
        return true;
    }

    void Receive() {
        char buffer[4096];
        const ssize_t got = ::read(m_line.master, buffer, sizeof buffer);
        if (got <= 0)
            return;
        const sim::Controller::Result result =
            m_controller.Receive(QByteArray(buffer, static_cast<qsizetype>(got)));
        for (const QString &line : result.log)
            Say(line);
        auto due = Clock::now();
        const qsizetype step = m_chunkSize > 0 ? m_chunkSize : result.reply.size();
        for (qsizetype at = 0; at < result.reply.size(); at += step) {
            m_outgoing.push_back({due, result.reply.mid(at, step)});
            due += m_gap;
        }
        // Right after the record to hang up after: what came with it is dropped.
        if (result.hangup)
            m_hangingUp = true;
    }

    void SendWhatIsDue() {
        while (!m_outgoing.empty() && m_outgoing.front().due <= Clock::now()) {
            QByteArray &bytes = m_outgoing.front().bytes;
            const ssize_t put =
                ::write(m_line.master, bytes.constData(), static_cast<size_t>(bytes.size()));
            if (put < 0)
                return; // the line is full: wait for room
            bytes.remove(0, put);
            if (!bytes.isEmpty())
                return;
            m_outgoing.pop_front();
        }
    }

    const Line &m_line;
    int m_signals;
    int m_chunkSize;
    std::chrono::milliseconds m_gap;
    sim::Controller m_controller;
    std::deque<Piece> m_outgoing;
    bool m_hangingUp = false;
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dccd-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DCCD_VERSION));

    auto options = ReadOptions(tuner::ProgramArguments(argc, argv));
    if (const QString *problem = std::get_if<QString>(&options))
        return Fail(*problem);
    const int signals = SignalsAsData();
    Line line;
    if (const auto problem = OpenLine(line))
        return Fail(*problem);
    const QString link = std::get<Options>(options).link;
    if (!link.isEmpty()) {
        if (const auto problem = MakeLink(line, link))
            return Fail(*problem);
    }
    Say(QString::fromLocal8Bit(line.name));
    Loop(line, signals, std::move(std::get<Options>(options))).Run();
    return 0;
}
