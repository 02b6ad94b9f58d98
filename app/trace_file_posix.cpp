#include "app/trace_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tuner {
namespace {

QString SystemText(int error) {
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

const QString kNotRegular = QStringLiteral("not a regular file");

} // namespace

std::variant<std::unique_ptr<QFile>, QString> OpenTraceFile(const QString &path) {
    if (path.isEmpty())
        return SystemText(ENOENT);
    const QByteArray name = QFile::encodeName(path);
    // Looked at before the open, which could block on a FIFO or wake a device.
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return kNotRegular;
    const int fd =
        ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return SystemText(errno);
    // The path may have changed between the look and the open.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kNotRegular;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file->errorString();
    }
    return file;
}

} // namespace tuner
