#include "ctl/standard_streams.h"

#include <QStringDecoder>

#include <windows.h>

#include <algorithm>

namespace tuner {
namespace {

// A console written with characters, not bytes: Windows shows them whatever the console's code
// page, where bytes would be read in that code page (or by the C runtime in the ANSI one).
// UTF-8 split over two writes is decoded whole.
class ConsoleStream : public QIODevice {
public:
    explicit ConsoleStream(HANDLE console) : m_console(console) {
        static_cast<void>(open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }

    qint64 writeData(const char *data, qint64 size) override {
        const QString text = m_decoder.decode(QByteArrayView(data, size));
        const auto *characters = reinterpret_cast<const wchar_t *>(text.utf16());
        qsizetype left = text.size();
        while (left > 0) {
            // WriteConsoleW takes at most some kilobytes at once on older systems; a chunk never
            // ends inside a surrogate pair.
            constexpr qsizetype kChunk = 8192;
            qsizetype chunk = std::min(left, kChunk);
            if (chunk < left && QChar::isHighSurrogate(characters[chunk - 1]))
                --chunk;
            DWORD written = 0;
            if (!WriteConsoleW(m_console, characters, static_cast<DWORD>(chunk), &written,
                               nullptr) ||
                written == 0) {
                setErrorString(qt_error_string(static_cast<int>(GetLastError())));
                return -1;
            }
            characters += written;
            left -= written;
        }
        return size;
    }

private:
    HANDLE m_console;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
};

} // namespace

// Nothing to hold: files and ports are opened as handles, never as the C runtime's descriptors
// 0 to 2, so a closed standard stream cannot lend its number to a port. Writing to one fails,
// which is seen as a failed write.
void HoldClosedStandardStreams() {}

// GetConsoleMode succeeds only for a console: a file or a pipe is written as bytes.
std::unique_ptr<QIODevice> OpenStandardStream(int descriptor) {
    const HANDLE handle = GetStdHandle(descriptor == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode))
        return std::make_unique<ConsoleStream>(handle);
    return OpenDescriptor(descriptor);
}

} // namespace tuner
