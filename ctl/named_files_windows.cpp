#include "ctl/named_files.h"

#include <QCoreApplication>

namespace tuner {

// Decoded from the wide command line, so a name in any script is found as it was typed.
QStringList ProgramArguments(int, char **) {
    return QCoreApplication::arguments();
}

NamedKind KindOfNamed(const QString &name) {
    return KindByName(name);
}

std::optional<QString> OpenNamed(QFile &file, const QString &name) {
    return OpenByName(file, name);
}

bool HasStrayBytes(const QString &) {
    return false;
}

} // namespace tuner
