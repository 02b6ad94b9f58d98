#include "app/trace_file.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

// What the trace variable may name: only a regular file is written, and nothing blocks (a FIFO
// without a reader would hang a blocking open for good).
struct TraceCase {
    const char *name;
    const char16_t *path;    // $DIR is a fresh folder
    const char16_t *refusal; // nullptr: opened
};

void PrintTo(const TraceCase &c, std::ostream *os) {
    *os << Printable(c.path) << ": "
        << (c.refusal ? "refused, " + Printable(c.refusal) : std::string("opened"));
}

class TraceFile : public ::testing::TestWithParam<TraceCase> {};

TEST_P(TraceFile, OnlyARegularFileIsOpened) {
    const TraceCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
#ifndef Q_OS_WIN
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600),
              0);
#endif
    QFile existing(dir.filePath(QStringLiteral("existing")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("before\n");
    existing.close();

    const QString path = QDir::toNativeSeparators(
        QString::fromUtf16(c.path).replace(QStringLiteral("$DIR"), dir.path()));
    auto opened = tuner::OpenTraceFile(path);
    if (c.refusal != nullptr) {
        ASSERT_TRUE(std::holds_alternative<QString>(opened));
        EXPECT_EQ(std::get<QString>(opened), QString::fromUtf16(c.refusal));
        return;
    }
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<QFile>>(opened))
        << std::get<QString>(opened).toStdString();
    auto &file = std::get<std::unique_ptr<QFile>>(opened);
    EXPECT_EQ(file->write("line\n"), 5);
    file->close();
    QFile back(path);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(),
              path.endsWith(QStringLiteral("existing")) ? "before\nline\n" : "line\n");
}

const TraceCase kTraceCases[] = {
    {"NewFile", u"$DIR/new.trace", nullptr},
    {"ExistingFile", u"$DIR/existing", nullptr},
    {"Directory", u"$DIR", u"not a regular file"},
    {"MissingFolder", u"$DIR/missing/x.trace", u"no such file or directory"},
#ifdef Q_OS_WIN
    // Device names open a device in any folder and with any extension; opening a serial port
    // may reset the board behind it.
    {"Device", u"NUL", u"not a regular file"},
    {"DeviceInAFolder", u"$DIR/nul.txt", u"not a regular file"},
    {"SerialPort", u"COM5", u"not a regular file"},
    {"DeviceNamespace", u"\\\\.\\COM5", u"not a regular file"},
    {"Console", u"CONOUT$", u"not a regular file"},
    {"LongPathFile", u"\\\\?\\$DIR/long.trace", nullptr},
#else
    {"Fifo", u"$DIR/fifo", u"not a regular file"},
    {"Device", u"/dev/null", u"not a regular file"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Paths, TraceFile, ::testing::ValuesIn(kTraceCases), RowName());

TEST(TraceFile, RefusalIsOneLine) {
    EXPECT_EQ(tuner::TraceRefusal(QStringLiteral("/tmp/\nf\x1b[2J"),
                                  QStringLiteral("not a regular file")),
              QStringLiteral("dccd-tuner: DCCD_TUNER_TRACE: /tmp/\\u000af\\e[2J: not a regular "
                             "file; no trace is written"));
}

} // namespace
