#pragma once

#include <QString>

#include <optional>
#include <variant>

namespace tuner {

// A line settings text such as "57600,N,8,1" taken apart: baud, parity letter, data bits and
// stop bits, separated by commas. Blanks around each part are allowed; the parity letter may be
// given in either case.
struct LineSettings {
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baud = 0;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// The controller's line, set at every open: 57600 baud, no parity, 8 data bits, 1 stop bit.
inline constexpr LineSettings kLineSettings{57600, LineSettings::Parity::None, 8,
                                            LineSettings::StopBits::One};

// The text form the port's Settings take, which ParseLineSettings reads back: "57600,N,8,1".
QString LineSettingsText(const LineSettings &settings);

// The settings of a text, or the reason it is not one (a short phrase for the status line,
// lower-case start, no final period, e.g. "bad line settings \"57600,X,8,1\": parity must be
// N, E, O, M or S"). Baud: a whole number from 50 to 4000000. Parity: N, E, O, M or S. Data
// bits: 5 to 8. Stop bits: 1, 1.5 or 2 (1.5 only with 5 data bits, as the UARTs have it).
std::variant<LineSettings, QString> ParseLineSettings(const QString &text);

} // namespace tuner
