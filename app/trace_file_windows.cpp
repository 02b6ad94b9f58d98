#include "app/trace_file.h"

#include "link/ports/port_names_windows.h"
#include "link/serial/comm_windows.h"

#include <fcntl.h>
#include <io.h>

namespace tuner {
namespace {

const QString kNotRegular = QStringLiteral("not a regular file");

QString SystemText(DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return QStringLiteral("no such file or directory");
    return win::SystemText(error);
}

} // namespace

std::variant<std::unique_ptr<QFile>, QString> OpenTraceFile(const QString &path) {
    if (path.isEmpty())
        return SystemText(ERROR_FILE_NOT_FOUND);
    // Looked at before the open, which could wake a device (a serial port resets some boards)
    // or wait on a pipe.
    if (win::NamesADevice(path))
        return kNotRegular;
    const auto *name = reinterpret_cast<const wchar_t *>(path.utf16());
    const DWORD attributes = GetFileAttributesW(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return kNotRegular;
    const HANDLE handle =
        CreateFileW(name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return SystemText(GetLastError());
    // The path may have changed between the look and the open.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return kNotRegular;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_APPEND);
    if (fd < 0) {
        CloseHandle(handle);
        return SystemText(ERROR_INVALID_HANDLE);
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return file->errorString();
    }
    return file;
}

} // namespace tuner
