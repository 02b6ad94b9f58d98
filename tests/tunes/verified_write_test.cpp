// The verified write on a port in memory: its stages in order, a go-ahead and a cancel, and a
// line that fails at each stage.

#include "tests/support/memory_port.h"
#include "tests/support/row_name.h"
#include "tests/support/test_app.h"
#include "tunes/exchange/verified_write.h"
#include "tunes/restore_points/state_folder.h"

#include <QFile>
#include <QMetaEnum>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using tuner::WriteEnd;
using tuner::WriteStage;

// What the controller does when a stage begins.
enum class Trouble {
    None,
    LoseLine,  // the line goes away
    FailWrite, // every write fails from then on
    Cancel,    // the front cancels
    Differ,    // it reads back something else than was sent
};

struct WriteCase {
    const char *name;
    bool keepRestorePoint;
    bool verify;
    bool ask; // wait for a go-ahead, then give it
    WriteStage troubleAt;
    Trouble trouble;
    const char *stages; // the stages entered, in order
    WriteEnd end;
    int saves; // save records that went out
};

const char *StageWord(WriteStage stage) {
    static const char *const words[] = {"held", "keep", "ask", "send", "back", "compare", "prune"};
    return words[static_cast<int>(stage)];
}

constexpr char16_t kReport[] = u"P,120,100,100,100,0,33,0,0,0\r";
constexpr char16_t kOtherReport[] = u"P,121,100,100,100,0,33,0,0,0\r";

class VerifiedWrites : public ::testing::TestWithParam<WriteCase> {};

TEST_P(VerifiedWrites, GoThroughTheirStages) {
    const WriteCase &c = GetParam();
    testing_support::App();
    QTemporaryDir state;
    const QByteArray system = qgetenv(tuner::kStateFolderVariable);
    qputenv(tuner::kStateFolderVariable, QFile::encodeName(state.path()));
    const auto restore = qScopeGuard([&] { qputenv(tuner::kStateFolderVariable, system); });

    tuner::testing::MemoryPort port;
    tuner::VerifiedWrite write(
        port, [](qint16) { return QString(); }, std::chrono::milliseconds(30000));
    std::string stages;
    std::optional<tuner::WriteOutcome> ended;
    QObject::connect(&write, &tuner::VerifiedWrite::StageEntered, &write, [&](WriteStage stage) {
        stages += std::string(stages.empty() ? "" : " ") + StageWord(stage);
        // The controller answers every read from the event loop, as a line does.
        const bool answers = stage == WriteStage::ReadingHeld || stage == WriteStage::ReadingBack;
        const bool trouble = stage == c.troubleAt && c.trouble != Trouble::None;
        QTimer::singleShot(0, &port, [&, answers, trouble] {
            if (trouble && c.trouble == Trouble::LoseLine)
                return port.LoseLine(QStringLiteral("the device was removed"));
            if (trouble && c.trouble == Trouble::Cancel)
                return write.Cancel();
            if (answers)
                port.Deliver(QString::fromUtf16(
                    trouble && c.trouble == Trouble::Differ ? kOtherReport : kReport));
        });
        if (trouble && c.trouble == Trouble::FailWrite)
            port.FailWrites(QStringLiteral("the device stopped"));
    });
    QObject::connect(&write, &tuner::VerifiedWrite::ReadyToSend, &write,
                     [&] { QTimer::singleShot(0, &write, [&] { write.Proceed(); }); });
    QObject::connect(&write, &tuner::VerifiedWrite::Finished, &write,
                     [&](const tuner::WriteOutcome &outcome) {
                         EXPECT_FALSE(ended) << "finished twice";
                         ended = outcome;
                     });
    tuner::WritePlan plan;
    plan.port = 1;
    plan.tune = tuner::DefaultSettings();
    plan.tune.Accel = 120;
    plan.keepRestorePoint = c.keepRestorePoint;
    plan.verify = c.verify;
    plan.askBeforeSending = c.ask;
    write.Start(plan);
    EXPECT_FALSE(ended) << "finished inside Start";
    ASSERT_TRUE(testing_support::RunUntil([&] { return ended.has_value(); }));

    EXPECT_EQ(stages, c.stages);
    EXPECT_EQ(ended->end, c.end) << ended->message.toStdString();
    EXPECT_EQ(port.written.filter(QStringLiteral("S,")).size(), c.saves);
    // A restore point taken is on the disk, whatever came after it.
    EXPECT_EQ(ended->taken.has_value(), stages.find("keep") != std::string::npos);
    if (ended->taken) {
        EXPECT_TRUE(QFile::exists(ended->taken->path));
    }
    EXPECT_FALSE(port.PortOpen()) << "the port stays open after the write";
}

INSTANTIATE_TEST_SUITE_P(
    Table, VerifiedWrites,
    ::testing::Values(
        WriteCase{"Whole", true, true, false, WriteStage::Pruning, Trouble::None,
                  "held keep send back compare prune", WriteEnd::Verified, 1},
        WriteCase{"WithoutRestorePoint", false, true, false, WriteStage::Pruning, Trouble::None,
                  "send back compare", WriteEnd::Verified, 1},
        WriteCase{"Unverified", true, false, false, WriteStage::Pruning, Trouble::None,
                  "held keep send prune", WriteEnd::Sent, 1},
        WriteCase{"GoAheadGiven", true, true, true, WriteStage::Pruning, Trouble::None,
                  "held keep ask send back compare prune", WriteEnd::Verified, 1},
        WriteCase{"GoAheadWithoutReadFirst", false, true, true, WriteStage::Pruning, Trouble::None,
                  "ask send back compare", WriteEnd::Verified, 1},
        WriteCase{"CancelledBeforeSendingUnread", false, true, true, WriteStage::AwaitingGoAhead,
                  Trouble::Cancel, "ask", WriteEnd::Cancelled, 0},
        WriteCase{"CancelledAtGoAhead", true, true, true, WriteStage::AwaitingGoAhead,
                  Trouble::Cancel, "held keep ask prune", WriteEnd::Cancelled, 0},
        WriteCase{"CancelledWhileReading", true, true, false, WriteStage::ReadingHeld,
                  Trouble::Cancel, "held", WriteEnd::Cancelled, 0},
        WriteCase{"LineLostReadingHeld", true, true, false, WriteStage::ReadingHeld,
                  Trouble::LoseLine, "held", WriteEnd::ExchangeFailed, 0},
        WriteCase{"LineLostAtGoAhead", true, true, true, WriteStage::AwaitingGoAhead,
                  Trouble::LoseLine, "held keep ask prune", WriteEnd::ExchangeFailed, 0},
        WriteCase{"WriteFailsSending", true, true, false, WriteStage::Sending, Trouble::FailWrite,
                  "held keep send prune", WriteEnd::ExchangeFailed, 0},
        WriteCase{"LineLostReadingBack", true, true, false, WriteStage::ReadingBack,
                  Trouble::LoseLine, "held keep send back prune", WriteEnd::ExchangeFailed, 1},
        WriteCase{"ReadsBackOther", true, true, false, WriteStage::ReadingBack, Trouble::Differ,
                  "held keep send back compare prune", WriteEnd::Mismatch, 1}),
    RowName());

} // namespace
