#include "ctl/standard_streams.h"

namespace tuner {

// Nothing to hold: files and ports are opened as handles, never as the C runtime's descriptors
// 0 to 2, so a closed standard stream cannot lend its number to a port. Writing to one fails,
// which is seen as a failed write.
void HoldClosedStandardStreams() {}

} // namespace tuner
