#include "window/qt/built_in_fonts.h"

namespace tuner {

// The Debian package depends on fonts-urw-base35, which brings the face (and its updates) to
// the system: the program carries no copy of its own.
bool LoadBuiltInFonts() {
    return true;
}

QString ChanceryFamily() {
    return QStringLiteral("Z003");
}

} // namespace tuner
