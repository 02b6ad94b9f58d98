#include "tunes/files/named_files.h"

#include "link/ports/port_names_windows.h"

#include <QCoreApplication>

namespace tuner {

// Decoded from the wide command line, so a name in any script is found as it was typed.
QStringList ProgramArguments(int, char **) {
    return QCoreApplication::arguments();
}

// A device name is told from its text before anything looks at the path: even asking about
// \\.\COM6 may open it.
NamedKind KindOfNamed(const QString &name) {
    if (win::NamesADevice(name))
        return NamedKind::Device;
    return KindByName(name);
}

std::optional<QString> OpenNamed(QFile &file, const QString &name) {
    return OpenByName(file, name);
}

bool HasStrayBytes(const QString &) {
    return false;
}

} // namespace tuner
