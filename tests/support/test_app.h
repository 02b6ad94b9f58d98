#pragma once

// A Qt event loop for gtest, and texts in test failures as text.

#include <QCoreApplication>
#include <QString>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testing_support {

inline QCoreApplication &App() {
    static int argc = 1;
    static char name[] = "tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

} // namespace testing_support
