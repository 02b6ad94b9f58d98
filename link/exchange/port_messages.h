#pragma once

#include <QString>

#include <functional>

// The sentences in which the port's outcomes are told: the same words in the window's status
// line and on dccd-ctl's standard error.
namespace tuner {

// A port as the user knows it: "1 (DEVICE)", the device escaped, or "1" when it has no device.
QString PortWithDevice(qint16 number, const QString &device);

// How a port's device is named: whole, or in the short form a narrow status line has room for
// (comfunct::ShortDeviceName).
enum class DeviceForm { Whole, Short };

// The same with the device looked up by its number ("" from a lookup, or no lookup: no device).
QString PortWithDevice(qint16 number, const std::function<QString(qint16)> &devicePath,
                       DeviceForm form = DeviceForm::Whole);

// A reason from the port as the end of a sentence: exactly one full stop.
QString ReasonSentence(QString reason);

// "Cannot open port PORT: REASON."
QString CannotOpenMessage(const QString &port, const QString &reason);
// Why a typed port text that holds no number opens nothing: "not a port number", and what to
// type instead when it is the system's name of a port ("COM23": "not a port number; type 23").
QString NotAPortNumberReason(const QString &typed);
// "Read request failed: REASON."
QString ReadRequestFailedMessage(const QString &reason);
// "Save failed: REASON."
QString SaveFailedMessage(const QString &reason);
// "Connection lost: REASON."
QString ConnectionLostMessage(const QString &reason);
// The controller has not answered the read request yet.
QString WaitingMessage();

// "port PORT answered, but not with a settings report (FIRST 40 CHARACTERS…): is this the
// controller, at 57600 baud?"
QString NotAReportMessage(const QString &port, const QString &received);

} // namespace tuner
