// The platform's device access on pseudo-terminals: taking a device, and the system's queues.

#include "link/serial/failure_reasons.h"
#include "link/serial/serial_device_posix.h"
#include "tests/link/serial/pty_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using testing_support::Pty;
using tuner::DeviceLock;

namespace {

QString ReasonOf(const std::variant<DeviceLock, QString> &taken) {
    const QString *reason = std::get_if<QString>(&taken);
    return reason ? *reason : QStringLiteral("(taken)");
}

TEST(DeviceLock, ADeviceThatCannotBeTakenGivesItsReason) {
    testing_support::App();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::pair<QString, QStringView> cases[] = {
        {dir.filePath(QStringLiteral("missing")), tuner::kNoSuchPort},
        {QCoreApplication::applicationFilePath(), tuner::kNotSerial}, // a regular file
        {dir.path(), tuner::kNotSerial},
        {QStringLiteral("/dev/null"), tuner::kNotSerial}, // a device, but no tty
    };
    for (const auto &[device, reason] : cases)
        EXPECT_EQ(ReasonOf(DeviceLock::Take(device)), reason.toString()) << device.toStdString();
}

TEST(DeviceLock, HeldUntilItsLastOwnerGoes) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    auto first = DeviceLock::Take(pty.path());
    ASSERT_TRUE(std::holds_alternative<DeviceLock>(first)) << ReasonOf(first).toStdString();
    EXPECT_EQ(ReasonOf(DeviceLock::Take(pty.path())), tuner::kInUse.toString());
    {
        // Moved on, the lock is still held; the moved-from object releases nothing.
        DeviceLock moved = std::move(std::get<DeviceLock>(first));
        first = QString();
        EXPECT_EQ(ReasonOf(DeviceLock::Take(pty.path())), tuner::kInUse.toString());
    }
    EXPECT_EQ(ReasonOf(DeviceLock::Take(pty.path())), QStringLiteral("(taken)"));
}

TEST(SystemQueues, UnreadInputIsCountedAndDiscarded) {
    testing_support::App();
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const int fd = ::open(QFile::encodeName(pty.path()).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(tuner::UnreadBytes(fd), 0);
    ASSERT_TRUE(pty.Write("12345"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tuner::UnreadBytes(fd) == 5; }, 5000));
    tuner::DiscardWaitingInput(fd);
    EXPECT_EQ(tuner::UnreadBytes(fd), 0);
    // Nothing queued for output: the drain is done at once.
    EXPECT_TRUE(tuner::DrainQueuedOutput(fd, QDeadlineTimer(1000)));
    ::close(fd);
}

} // namespace
