#pragma once

#include <QString>

#include <string>

// A text as plain ASCII for test names and messages: control and non-ASCII characters are
// written as \uXXXX, so test names stay on one line and readable.
inline std::string Printable(const QString &text) {
    std::string out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7f) {
            out += static_cast<char>(u);
        } else {
            static const char hex[] = "0123456789abcdef";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(u >> shift) & 0xf];
        }
    }
    return out;
}

inline std::string Printable(const char16_t *text) {
    return Printable(QString::fromUtf16(text));
}
