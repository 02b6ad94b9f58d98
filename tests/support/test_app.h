#pragma once

// A Qt event loop for gtest, and texts in test failures as text.

#include <QCoreApplication>
#include <QDeadlineTimer>
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

// Runs the event loop until `done` holds; false when it still does not after `limitMs`, which
// only bounds a hang.
template <typename Done> bool RunUntil(Done done, int limitMs = 60000) {
    App();
    const QDeadlineTimer deadline(limitMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

} // namespace testing_support
