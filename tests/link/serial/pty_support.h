#pragma once

// Pseudo-terminals as the far end of the real port service, and a Qt event loop for gtest.

#include "tests/support/test_app.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testing_support {

// A raw pseudo-terminal. The test keeps the slave open too, so the line keeps its data and
// settings whatever the service does; the master is the controller's end.
class Pty {
public:
    Pty() {
        termios raw{};
        cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
            ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
            ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
            m_path = QString::fromLocal8Bit(name);
        }
    }
    ~Pty() {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool ok() const { return !m_path.isEmpty(); }
    const QString &path() const { return m_path; }
    int slave() const { return m_slave; }
    int master() const { return m_master; }

    // Writes every byte to the line (the service's side receives them).
    bool Write(const QByteArray &bytes) const {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (n < 0) {
                pollfd p{m_master, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            done += n;
        }
        return true;
    }

    // Reads what the service sent until `count` bytes came or the time is up; Qt events run
    // meanwhile so that queued output is written.
    QByteArray Read(qsizetype count, int timeoutMs = 30000) const {
        QByteArray got;
        const QDeadlineTimer deadline(timeoutMs);
        while (got.size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, n);
            }
        }
        return got;
    }

    // The controller's end goes away, as when a USB adapter is pulled.
    void CloseMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

} // namespace testing_support
