#pragma once

#include <QStringList>

namespace tuner {

// The program's arguments as text, arguments[0] the program, decoded as the system passed them,
// for every program: on POSIX systems as UTF-8, each byte that is no UTF-8 kept as a character
// of its own (kStrayByteBase plus the byte, see shown_text.h) so that a file is found by its
// bytes and its name shown with the byte escaped; on Windows from the wide command line, so
// names in any script survive. Usable before an application object exists. Defined per
// platform (program_arguments_<platform>.cpp).
QStringList ProgramArguments(int argc, char **argv);

} // namespace tuner
