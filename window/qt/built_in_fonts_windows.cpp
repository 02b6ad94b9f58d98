#include "window/qt/built_in_fonts.h"

#include <QFontDatabase>

namespace tuner {

// Windows has no chancery face: the program carries TeX Gyre Chorus (fonts-texgyre, GUST Font
// License), URW's chancery that the Linux build draws as Z003, in its resources. Z003's own
// licence (AGPL-3, its exception only for PDF and PostScript documents) would put the whole
// program under the AGPL once built into it.
bool LoadBuiltInFonts() {
    return QFontDatabase::addApplicationFont(
               QStringLiteral(":/fonts/texgyrechorus-mediumitalic.otf")) != -1;
}

QString ChanceryFamily() {
    return QStringLiteral("TeX Gyre Chorus");
}

} // namespace tuner
