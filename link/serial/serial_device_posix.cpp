#include "link/serial/serial_device_posix.h"

#include "link/serial/failure_reasons.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tuner {
namespace {

// What to do when the device may not be opened: join the group that may read and write it
// ("dialout" on Debian and Ubuntu, "uucp" on Arch and Fedora: whatever the device says). A
// device only root may use has no group to join. Short enough for the status line with the
// port and its device before it.
QString PermissionReason(const QByteArray &path) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return QStringLiteral("no permission to reach it");
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (info.st_gid != 0 && (info.st_mode & kGroupReadWrite) == kGroupReadWrite) {
        if (const group *g = ::getgrgid(info.st_gid); g != nullptr)
            return JoinGroup(QString::fromLocal8Bit(g->gr_name));
    }
    return kOnlyRoot.toString();
}

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error)).toLower();
}

} // namespace

// A descriptor of our own on the device, holding an exclusive flock: it tells apart a missing
// device, a permission problem and a port held by another program before Qt opens the device.
std::variant<DeviceLock, QString> DeviceLock::Take(const QString &device) {
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return errno == EACCES ? PermissionReason(path) : kNoSuchPort.toString();
    if (!S_ISCHR(info.st_mode))
        return kNotSerial.toString();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return PermissionReason(path);
        if (error == EBUSY)
            return kInUse.toString();
        if (error == ENOENT || error == ENXIO || error == ENODEV)
            return kNoSuchPort.toString();
        return SystemText(error);
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return kNotSerial.toString();
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return kInUse.toString();
    }
    return DeviceLock(fd);
}

DeviceLock::DeviceLock(DeviceLock &&other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

DeviceLock &DeviceLock::operator=(DeviceLock &&other) noexcept {
    if (this != &other) {
        if (m_handle >= 0)
            ::close(static_cast<int>(m_handle));
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

DeviceLock::~DeviceLock() {
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

void DiscardWaitingInput(qintptr handle) {
    ::tcflush(static_cast<int>(handle), TCIFLUSH);
}

qint64 UnreadBytes(qintptr handle) {
    int unread = 0;
    if (::ioctl(static_cast<int>(handle), FIONREAD, &unread) != 0)
        return 0;
    return unread;
}

bool DrainQueuedOutput(qintptr handle, const QDeadlineTimer &deadline) {
    const int fd = static_cast<int>(handle);
    int queued = 0;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (deadline.hasExpired()) {
            // The line does not take them (a stuck handshake): drop them, or the kernel's
            // close would wait up to half a minute.
            ::tcflush(fd, TCOFLUSH);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace tuner
