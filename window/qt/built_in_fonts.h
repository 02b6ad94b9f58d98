#pragma once

#include <QString>

// The chancery face that stands in for the logo's decorative one, which no system here has.
// Where the system lacks that face, the program carries its own copy. One file per platform
// defines these (window/qt/built_in_fonts_<platform>.cpp), chosen in the top CMakeLists.txt.
namespace tuner {

// Registers the faces built into the program; false when one of them cannot be loaded.
// Call once after the application object exists.
bool LoadBuiltInFonts();

// The family of the chancery face the logo and the support line are drawn in.
QString ChanceryFamily();

} // namespace tuner
