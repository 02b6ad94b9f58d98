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
#include <poll.h>
#include <pty.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dccd-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DCCD_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated controller on a pseudo-terminal. Prints the device, then one "
                       "line per record received or sent."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make a symbolic link to the device here."),
                                  QStringLiteral("path"));
    const QCommandLineOption values(
        QStringLiteral("values"),
        QStringLiteral("The nine settings as a report's fields 1 to 9 (default "
                       "100,100,100,100,0,33,0,0,0)."),
        QStringLiteral("fields"));
    const QCommandLineOption chunk(QStringLiteral("chunk"),
                                   QStringLiteral("Send each answer in pieces of n bytes."),
                                   QStringLiteral("n"));
    const QCommandLineOption gap(QStringLiteral("gap"),
                                 QStringLiteral("Milliseconds between the pieces (default 10)."),
                                 QStringLiteral("ms"), QStringLiteral("10"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption noise(QStringLiteral("noise"),
                                   QStringLiteral("Send garbage bytes before each report."));
    const QCommandLineOption hangup(
        QStringLiteral("hangup-after"),
        QStringLiteral("Close the line right after the nth record; what came with it is "
                       "dropped."),
        QStringLiteral("n"));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Answer a read request with this text and a CR instead of a report."),
        QStringLiteral("text"));
    const QCommandLineOption forgetful(
        QStringLiteral("forgetful"),
        QStringLiteral("Log each save as stored but keep the old values (a faulty controller)."));
    parser.addOptions({link, values, chunk, gap, silent, noise, hangup, report, forgetful});
    parser.process(app);

    sim::Behaviour behaviour;
    behaviour.silent = parser.isSet(silent);
    behaviour.noise = parser.isSet(noise);
    behaviour.forgetful = parser.isSet(forgetful);
    if (parser.isSet(report))
        behaviour.report = parser.value(report).toLatin1();
    if (parser.isSet(values)) {
        const auto parsed = sim::ParseValues(parser.value(values));
        if (!parsed)
            return Fail(QStringLiteral("--values wants nine fields: six numbers from 0 to the "
                                       "save limits (200,200,200,100,100,100), three truth "
                                       "values"));
        behaviour.values = *parsed;
    }
    int chunkSize = 0;
    if (parser.isSet(chunk)) {
        const auto n = Whole(parser.value(chunk), 1);
        if (!n)
            return Fail(QStringLiteral("--chunk wants a whole number of at least 1"));
        chunkSize = *n;
    }
    const auto gapMs = Whole(parser.value(gap), 0);
    if (!gapMs)
        return Fail(QStringLiteral("--gap wants a whole number of milliseconds"));
    if (parser.isSet(hangup)) {
        const auto n = Whole(parser.value(hangup), 1);
        if (!n)
            return Fail(QStringLiteral("--hangup-after wants a whole number of at least 1"));
        behaviour.hangupAfter = *n;
    }

    // Signals arrive as readable data, so the loop below ends cleanly.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B57600);
    cfsetospeed(&raw, B57600);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, &raw, nullptr) != 0)
        return Fail(QStringLiteral("cannot open a pseudo-terminal: ") +
                    QString::fromLocal8Bit(std::strerror(errno)));
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    // The slave stays open here too: the line keeps its settings and its data while the
    // utility is not connected, and reading the master never fails for want of a slave.

    // The link is made only where nothing stands (symlink never replaces), and it is the only
    // one removed at the end: a user's own link or another simulator's is left alone.
    QByteArray linkPath;
    if (parser.isSet(link)) {
        const QByteArray path = QFile::encodeName(parser.value(link));
        if (::symlink(name, path.constData()) != 0) {
            const int error = errno;
            ::close(master);
            ::close(slave);
            if (error == EEXIST)
                return Fail(QStringLiteral("--link: %1 already exists; remove it or choose "
                                           "another path")
                                .arg(parser.value(link)));
            return Fail(QStringLiteral("cannot make the link: ") +
                        QString::fromLocal8Bit(std::strerror(error)));
        }
        linkPath = path;
    }
    Say(QString::fromLocal8Bit(name));

    sim::Controller controller(std::move(behaviour));
    std::deque<Piece> outgoing;
    bool hangingUp = false;
    bool running = true;
    while (running) {
        if (hangingUp && outgoing.empty()) {
            Say(QStringLiteral("hangup"));
            break;
        }
        // Sleep until a line or a signal arrives, the next piece is due, or there is room for
        // a piece that is due: no timer runs while nothing is to be sent.
        int timeout = -1;
        // Once hanging up, nothing more is read: only the answers already due go out.
        pollfd fds[2] = {{master, static_cast<short>(hangingUp ? 0 : POLLIN), 0},
                         {signalFd, POLLIN, 0}};
        if (!outgoing.empty()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(outgoing.front().due - Clock::now());
            if (wait.count() > 0)
                timeout = static_cast<int>(wait.count());
            else
                fds[0].events |= POLLOUT;
        }
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN)
            break;
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got > 0) {
                const sim::Controller::Result result =
                    controller.Receive(QByteArray(buffer, static_cast<qsizetype>(got)));
                for (const QString &line : result.log)
                    Say(line);
                if (!result.reply.isEmpty()) {
                    auto due = Clock::now();
                    const qsizetype step = chunkSize > 0 ? chunkSize : result.reply.size();
                    for (qsizetype at = 0; at < result.reply.size(); at += step) {
                        outgoing.push_back({due, result.reply.mid(at, step)});
                        due += std::chrono::milliseconds(*gapMs);
                    }
                }
                // Right after the record to hang up after: what came with it is dropped.
                if (result.hangup)
                    hangingUp = true;
            }
        }
        while (!outgoing.empty() && outgoing.front().due <= Clock::now()) {
            QByteArray &bytes = outgoing.front().bytes;
            const ssize_t put =
                ::write(master, bytes.constData(), static_cast<size_t>(bytes.size()));
            if (put < 0)
                break; // the line is full: wait for room
            bytes.remove(0, put);
            if (!bytes.isEmpty())
                break;
            outgoing.pop_front();
        }
    }

    ::close(master); // a pulled adapter: the utility's side of the line hangs up
    ::close(slave);
    if (!linkPath.isEmpty()) {
        char target[256] = {};
        if (::readlink(linkPath.constData(), target, sizeof target - 1) >= 0 &&
            std::strcmp(target, name) == 0)
            ::unlink(linkPath.constData());
    }
    return 0;
}
