#include "ctl/standard_streams.h"

#include <QFile>

namespace tuner {

std::unique_ptr<QIODevice> OpenDescriptor(int descriptor) {
    auto file = std::make_unique<QFile>();
    // Should it not open, the first write to it fails, which the program sees as well.
    static_cast<void>(
        file->open(descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   descriptor == 1 ? QFileDevice::AutoCloseHandle : QFileDevice::DontCloseHandle));
    return file;
}

} // namespace tuner
