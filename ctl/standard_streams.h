#pragma once

#include <QIODevice>

#include <memory>

namespace tuner {

// Takes every one of standard input, output and error that the caller left closed with a
// descriptor that refuses writes, before anything else is opened. Otherwise the first file or
// port opened gets the number, and the text meant for standard output or error goes into it (a
// serial port: to the controller); this way writing to it fails as writing to a closed one
// does. Defined per platform (standard_streams_<platform>.cpp).
void HoldClosedStandardStreams();

// Standard output or error (descriptor 1 or 2) as a device the program writes its UTF-8 text
// to. A console shows the text as written whatever its code page (a Windows Command Prompt on
// code page 850 would show "Café" as "CafÃ©"): there it is written as characters. A file or a
// pipe gets the UTF-8 bytes. Writes that fail, and for standard output the close, show as the
// device's errors. Defined per platform.
std::unique_ptr<QIODevice> OpenStandardStream(int descriptor);

// The descriptor as a file of its own, the form both platforms give a file or a pipe; standard
// output is closed at the end so that a failed close is seen.
std::unique_ptr<QIODevice> OpenDescriptor(int descriptor);

} // namespace tuner
