// The folder of restore points, changed step by step as the program and its user would.

#include "tests/support/default_tune.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#include "tunes/files/tune_file.h"
#include "tunes/restore_points/restore_points.h"
#include "tunes/restore_points/state_folder.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const char *const kDefaults = kDefaultTuneFile;

// A scratch folder of restore points, changed step by step as the program and its user would:
//   take PORT ACCEL TIME [NOTE]  a restore point taken at that time (the clock may go back);
//                                why it could not be goes before the listing
//   file NAME TEXT               a file put there by hand or by an earlier version
//   folder NAME, link NAME TO    a folder, a symbolic link (NAME in the state folder)
//   age NAME SECONDS             the file written that long ago (less than 0: in the future)
//   hold NAME                    the restore point held in use till the end, as a write holds it
//   prune KEPT                   the oldest let go; what it says goes before the listing
//   latest PORT NAME             what "latest" finds for that port
//   race N                       two threads take N restore points each at the same time
//   churn N                      a thread takes and prunes N times while the folder is listed:
//                                no listing passes over what was pruned meanwhile
//   kept VALUE N                 DCCD_KEEP_RESTORE_POINTS=VALUE keeps N
struct Shelf {
    const char *name;
    std::vector<std::string> steps;
    const char16_t *listing; // what is said, then the listing; $FOLDER for the folder
};

void PrintTo(const Shelf &c, std::ostream *os) {
    for (const std::string &step : c.steps)
        *os << Printable(QString::fromStdString(step)) << "; ";
}

class RestorePoints : public ::testing::TestWithParam<Shelf> {
protected:
    void SetUp() override {
        ASSERT_TRUE(state.isValid());
        qputenv(tuner::kStateFolderVariable, QFile::encodeName(state.path()));
    }
    void TearDown() override {
        if (system.isNull())
            qunsetenv(tuner::kStateFolderVariable);
        else
            qputenv(tuner::kStateFolderVariable, system);
    }
    QString Folder() const { return state.filePath(QStringLiteral("dccd-tuner/restore-points")); }
    // Why the restore point could not be kept ("" when it was).
    static QString Take(const QStringList &words) {
        tuner::TuningParameters held = tuner::DefaultSettings();
        held.Accel = words.at(2).toFloat();
        const auto kept = tuner::KeepRestorePoint(held, static_cast<qint16>(words.at(1).toInt()),
                                                  QDateTime::fromString(words.at(3), Qt::ISODate),
                                                  words.mid(4).join(u' '));
        return std::holds_alternative<QString>(kept) ? std::get<QString>(kept) : QString();
    }
    void Step(const QString &step, QString &said) {
        const QStringList words = step.split(u' ');
        const QString path = state.filePath(words.value(1));
        if (words.at(0) == u"take") {
            if (const QString refused = Take(words); !refused.isEmpty())
                said += QStringLiteral("not kept: ") + refused + u'\n';
        } else if (words.at(0) == u"file") {
            ASSERT_TRUE(QDir().mkpath(Folder()));
            QFile file(Folder() + u'/' + words.at(1));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(step.section(u' ', 2).toUtf8());
        } else if (words.at(0) == u"folder") {
            ASSERT_TRUE(QDir().mkpath(path));
        } else if (words.at(0) == u"link") {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()) && QFile::link(words.at(2), path));
        } else if (words.at(0) == u"age") {
            QFile file(Folder() + u'/' + words.at(1));
            ASSERT_TRUE(file.open(QIODevice::Append) &&
                        file.setFileTime(QDateTime::currentDateTime().addSecs(-words.at(2).toInt()),
                                         QFileDevice::FileModificationTime));
        } else if (words.at(0) == u"hold") {
            auto held = tuner::HoldRestorePoint(words.at(1));
            ASSERT_TRUE(std::holds_alternative<tuner::RestorePointInUse>(held));
            inUse.push_back(std::move(std::get<tuner::RestorePointInUse>(held)));
        } else if (words.at(0) == u"prune") {
            for (const QString &line : tuner::PruneRestorePoints(words.at(1).toInt()))
                said += line + u'\n';
        } else if (words.at(0) == u"latest") {
            const auto found = tuner::FindRestorePoint(words.at(0), words.at(1).toShort());
            EXPECT_EQ(std::holds_alternative<tuner::RestorePoint>(found)
                          ? std::get<tuner::RestorePoint>(found).name
                          : std::get<QString>(found),
                      step.section(u' ', 2));
        } else if (words.at(0) == u"kept") {
            qputenv(tuner::kKeepVariable, step.section(u' ', 1, -2).toUtf8());
            const auto kept = tuner::KeptRestorePoints();
            EXPECT_EQ(std::holds_alternative<int>(kept) ? std::get<int>(kept) : 0,
                      words.constLast().toInt());
            qunsetenv(tuner::kKeepVariable);
        } else if (words.at(0) == u"race" || words.at(0) == u"churn") {
            const QStringList take{QStringLiteral("take"), QStringLiteral("1"),
                                   QStringLiteral("110"), QStringLiteral("2026-12-07T15:04:12Z")};
            const bool race = words.at(0) == u"race";
            std::atomic<bool> done = false;
            const auto many = [&] {
                for (int i = 0; i < words.at(1).toInt(); ++i) {
                    EXPECT_EQ(Take(take), QString());
                    if (!race)
                        tuner::PruneRestorePoints(1);
                }
                done = true;
            };
            std::thread other(many);
            if (race)
                many();
            while (!race && !done) {
                for (const tuner::SkippedEntry &skipped : tuner::ReadRestorePoints().skipped)
                    said += QStringLiteral("skipped ") + skipped.name + skipped.reason + u'\n';
            }
            other.join();
            if (!race) // one a listing held open at the last prune stays on Windows
                tuner::PruneRestorePoints(1);
        }
    }

    QTemporaryDir state;
    const QByteArray system = qgetenv(tuner::kStateFolderVariable);
    std::vector<tuner::RestorePointInUse> inUse;
};

// The listing's heading, and why a file that is no restore point is left alone.
const QString kHeader = QStringLiteral(
    "name                           taken                    port  differs from the defaults\n");
const QString kNotAName = QStringLiteral(
    ": not named as a restore point is (NNNNNN-YYYYMMDDTHHMMSSZ-portN.json), so it is left alone");

TEST_P(RestorePoints, AreKeptInTheOrderTaken) {
    QString said;
    for (const std::string &step : GetParam().steps)
        Step(QString::fromStdString(step), said);
    const tuner::RestorePointShelf shelf = tuner::ReadRestorePoints();
    const QString owner = QFileInfo(state.path()).owner();
    EXPECT_EQ((said + (shelf.problem.isEmpty() ? tuner::RestorePointListing(shelf) : shelf.problem))
                  .toStdString(),
              QString::fromUtf16(GetParam().listing)
                  .replace(QStringLiteral("$FOLDER"), QDir::toNativeSeparators(Folder()))
                  .replace(QStringLiteral("$HEADER"), kHeader)
                  .replace(QStringLiteral("$NOT_A_NAME"), kNotAName)
                  .replace(QStringLiteral("$OF_OWNER"),
                           owner.isEmpty() ? QString() : QStringLiteral(" of user ") + owner)
                  .toStdString());
}

// Restore point files as an earlier version wrote them, with the read_at a person may have
// edited.
const std::string kOldPoint =
    std::string(kDefaults).replace(std::string(kDefaults).find("\n  \"acc"), 1,
                                   "\n  \"read_at\": \"yesterday\",\n  \"port\": 2,\n");

INSTANTIATE_TEST_SUITE_P(
    Table, RestorePoints,
    ::testing::Values(
        Shelf{"TheClockPutBack",
              {"take 3 110 2026-12-07T15:04:13Z", "take 3 120 2026-12-07T15:04:12Z",
               "take 3 130 2020-01-01T00:00:00Z", "latest 3 000003-20200101T000000Z-port3"},
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000003-20200101T000000Z-port3  2020-01-01 00:00:00 UTC  3     acceleration 130\n"
              u"000002-20261207T150412Z-port3  2026-12-07 15:04:12 UTC  3     acceleration 120\n"
              u"000001-20261207T150413Z-port3  2026-12-07 15:04:13 UTC  3     acceleration 110\n"},
        Shelf{"PruningSparesTheWrittenBackAndTheNew",
              {"take 1 110 2026-12-07T15:04:12Z", "take 1 120 2026-12-07T15:04:12Z",
               "take 1 130 2026-12-07T15:04:12Z", "take 1 140 2026-12-07T15:04:12Z",
               "hold 000004-20261207T150412Z-port1", "hold 000001-20261207T150412Z-port1",
               "prune 2"},
              u"removed 1 older restore point; the newest 2 are kept, and "
              u"000001-20261207T150412Z-port1, which a write is using\n"
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000004-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 140\n"
              u"000003-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 130\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"EarlierNamesAreOlderLatestOfThePort",
              {"file 20261208T090000Z-port2.json " + kOldPoint,
               "file 20261208T090000Z-port2-2.json " + kOldPoint, "take 1 110 2026-12-07T15:04:12Z",
               "latest 2 20261208T090000Z-port2-2", "latest 1 000001-20261207T150412Z-port1",
               "prune 2"},
              u"removed 1 older restore point; the newest 2 are kept\n"
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"
              u"20261208T090000Z-port2-2       yesterday                2     (none)\n"},
        Shelf{
            "OutOfRangeMarkedAndNotesEscaped",
            {"take 1 250 2026-12-07T15:04:12Z \x1b[2J Z:\\tmp\\t.json \"a\" line\nbreak"},
            u"name                           taken                    port  differs from the "
            u"defaults\n"
            u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 250\n"
            u"                               note: \\e[2J Z:\\tmp\\t.json \"a\" line\\u000abreak\n"
            u"                               acceleration 250, outside 0 to 200: cannot be "
            u"written back\n"},
        Shelf{"BrokenFilesAreToldAtTheEnd",
              {"file 000007-20261207T150412Z-port1.json {\"format\": \"dccd-tune\",",
               "file empty.json ", "take 1 110 2026-12-07T15:04:12Z",
               "latest 4 there is no restore point of port 4 yet; "
               "the newest, 000008-20261207T150412Z-port1, is of port 1: name it to write it to "
               "port 4"},
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000008-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"
              u"skipped 000007-20261207T150412Z-port1.json:1:23: a comma or } is missing\n"
              u"skipped empty.json: not named as a restore point is "
              u"(NNNNNN-YYYYMMDDTHHMMSSZ-portN.json), so it is left alone\n"},
        Shelf{"TwoAtOnceNeverShareAName",
              {"race 6", "latest 1 000012-20261207T150412Z-port1", "kept 010 10",
               "kept 10000 10000", "prune 1"},
              u"removed 11 older restore points; the newest 1 is kept\n"
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000012-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        // Only the names the program gives are numbered, ordered and pruned.
        Shelf{"StrayNumbersAreLeftAlone",
              {"file 999999999999999-notes.json {}",
               "file 999999999999999-20200101T000000Z-port1.json " + kOldPoint,
               "file 0000042-20261207T150412Z-port1.json " + kOldPoint,
               "take 1 110 2026-12-07T15:04:12Z", "take 1 120 2026-12-07T15:04:13Z", "prune 1",
               "latest 1 000002-20261207T150413Z-port1"},
              u"removed 1 older restore point; the newest 1 is kept\n$HEADER"
              u"000002-20261207T150413Z-port1  2026-12-07 15:04:13 UTC  1     acceleration 120\n"
              u"skipped 0000042-20261207T150412Z-port1.json$NOT_A_NAME\n"
              u"skipped 999999999999999-20200101T000000Z-port1.json$NOT_A_NAME\n"
              u"skipped 999999999999999-notes.json$NOT_A_NAME\n"},
        Shelf{"TheHighestNumberIsNotPassed",
              {"file 999999999-20200101T000000Z-port2.json " + kOldPoint,
               "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: the restore point 999999999-20200101T000000Z-port2 has 999999999, the "
              u"highest number a restore point takes: move it out of $FOLDER to keep new ones\n"
              u"name                              taken      port  differs from the defaults\n"
              u"999999999-20200101T000000Z-port2  yesterday  2     (none)\n"},
        // What a power cut leaves, old or from a clock since put back, is taken over.
        Shelf{"UnwrittenLocksAreTakenOver",
              {"folder dccd-tuner/restore-points", "file .lock ", "age .lock 60",
               "take 1 110 2026-12-07T15:04:12Z", "file .lock garbage", "age .lock -3600",
               "take 1 120 2026-12-07T15:04:12Z"},
              u"$HEADER"
              u"000002-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 120\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"PrunedWhileListedIsLeftOut",
              {"churn 60"},
              u"$HEADER"
              u"000060-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"KeepTakesBlanksAndZeros",
              {"kept  5 5", "kept 5\n 5", "kept 000000005 5", "kept 0000000005 5", "kept  7  7"},
              u"No restore points yet; each write keeps one in $FOLDER\n"}),
    RowName());

#ifndef Q_OS_WIN
// Links, and the lock's path and the command that removes it as a POSIX shell writes them.
INSTANTIATE_TEST_SUITE_P(
    Posix, RestorePoints,
    ::testing::Values(
        Shelf{"ALinkAsTheLockIsTakenOver",
              {"link dccd-tuner/restore-points/.lock /nowhere", "take 1 110 2026-12-07T15:04:12Z"},
              u"$HEADER"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"AFolderAsTheLockIsTold",
              {"folder dccd-tuner/restore-points/.lock", "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: the lock $FOLDER/.lock is a folder, which no process holds; a lock that "
              u"no live process holds can be removed: rmdir '$FOLDER/.lock'\n"
              u"No restore points yet; each write keeps one in $FOLDER\n"},
        Shelf{"AnotherMachinesOldLockIsTold",
              {"file .lock 4242\ndccd-ctl\nelsewhere\n", "age .lock 60",
               "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: the lock $FOLDER/.lock names process 4242 (dccd-ctl)$OF_OWNER on the "
              u"machine 'elsewhere', which cannot be asked from here; a lock that no live process "
              u"holds can be removed: rm '$FOLDER/.lock'\n"
              u"No restore points yet; each write keeps one in $FOLDER\n"},
        Shelf{"ADanglingLinkAsTheFolder",
              {"link dccd-tuner/restore-points /nowhere", "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: cannot make the folder $FOLDER: it is a link to /nowhere: No such file "
              u"or directory\n"
              u"Cannot read $FOLDER: it is a link to /nowhere: No such file or directory"},
        Shelf{"ALoopingLinkAsTheFolder",
              {"link dccd-tuner/restore-points restore-points", "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: cannot make the folder $FOLDER: it is a link to $FOLDER: Too many levels "
              u"of symbolic links\n"
              u"Cannot read $FOLDER: it is a link to $FOLDER: Too many levels of symbolic links"}),
    RowName());
#endif

} // namespace
