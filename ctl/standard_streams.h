#pragma once

namespace tuner {

// Takes every one of standard input, output and error that the caller left closed with a
// descriptor that refuses writes, before anything else is opened. Otherwise the first file or
// port opened gets the number, and the text meant for standard output or error goes into it (a
// serial port: to the controller); this way writing to it fails as writing to a closed one
// does. Defined per platform (standard_streams_<platform>.cpp).
void HoldClosedStandardStreams();

// Text written to a console shows as written: the program writes UTF-8, so a console that
// shows another code page (437 or 850 in a Windows Command Prompt: "Café" as "CafÃ©") is set to
// UTF-8 for the run and given its own back at the end. Files and pipes get UTF-8 as they are.
void ShowUtf8OnConsole();

} // namespace tuner
