#include "link/serial/comm_windows.h"

#include "link/serial/failure_reasons.h"

namespace tuner::win {
namespace {

// Codes that mean the port's device is gone (a USB adapter pulled): the driver refuses every
// request on the handle from then on.
bool DeviceGone(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_DEV_NOT_EXIST:
        return true;
    default:
        return false;
    }
}

} // namespace

void ApplyLineSettings(const LineSettings &line, DCB &dcb) {
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(line.baud);
    dcb.ByteSize = static_cast<BYTE>(line.dataBits);
    switch (line.parity) {
    case LineSettings::Parity::None:
        dcb.Parity = NOPARITY;
        break;
    case LineSettings::Parity::Even:
        dcb.Parity = EVENPARITY;
        break;
    case LineSettings::Parity::Odd:
        dcb.Parity = ODDPARITY;
        break;
    case LineSettings::Parity::Mark:
        dcb.Parity = MARKPARITY;
        break;
    case LineSettings::Parity::Space:
        dcb.Parity = SPACEPARITY;
        break;
    }
    dcb.fParity = line.parity != LineSettings::Parity::None;
    // With 5 data bits the UART's "two" stop bits are 1.5, and Windows accepts only that name.
    if (line.stopBits == LineSettings::StopBits::One)
        dcb.StopBits = ONESTOPBIT;
    else if (line.stopBits == LineSettings::StopBits::OneAndHalf || line.dataBits == 5)
        dcb.StopBits = ONE5STOPBITS;
    else
        dcb.StopBits = TWOSTOPBITS;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
}

QString SystemText(DWORD error) {
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text;
    if (length > 0 && buffer != nullptr)
        text = QString::fromWCharArray(buffer, static_cast<qsizetype>(length)).simplified();
    if (buffer != nullptr)
        LocalFree(buffer);
    while (text.endsWith(u'.'))
        text.chop(1);
    if (text.isEmpty())
        return QStringLiteral("system error %1").arg(error);
    text[0] = text.at(0).toLower();
    return text;
}

QString OpenFailure(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_REMOVED:
        return kNoSuchPort.toString();
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        // A serial port opens for one program at a time: the system says "access denied"
        // while another holds it.
        return kInUse.toString();
    case ERROR_GEN_FAILURE:
    case ERROR_SEM_TIMEOUT:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
        return kNoResponse.toString();
    default:
        return SystemText(error);
    }
}

QString ReadFailure(DWORD error) {
    if (DeviceGone(error))
        return kRemoved.toString();
    switch (error) {
    case ERROR_BROKEN_PIPE: // the far end hung up (Wine, for a pseudo-terminal)
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
    case ERROR_SEM_TIMEOUT:
        return kStoppedWorking.toString();
    default:
        return DeviceFailed(SystemText(error));
    }
}

QString WriteFailure(DWORD error) {
    if (DeviceGone(error))
        return kRemoved.toString();
    return WriteFailed(SystemText(error));
}

} // namespace tuner::win
