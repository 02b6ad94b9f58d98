#include "tests/window/memory_port.h"
#include "window/shown_trace.h"

#include <gtest/gtest.h>

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace tuner {
namespace {

// The trace without its time stamps.
QStringList Lines(const QBuffer &buffer) {
    QStringList lines;
    for (const QString &line : QString::fromUtf8(buffer.data()).split(u'\n', Qt::SkipEmptyParts))
        lines.append(line.section(u' ', 1));
    return lines;
}

TEST(ShownTrace, RecordsWhatTheWindowShowsAndKeepsTheAdaptersHook) {
    testing::MemoryPort port;
    DCCD window(port, {[] {
                           return comfunct::PortScan{{u"1"_s}, 1};
                       },
                       [](qint16) { return u"/dev/ttyUSB0"_s; }});
    QStringList adapterSaw;
    window.tStatus.Observe(
        [&](const Control &c, ControlProperty) { adapterSaw.append(c.Caption()); });
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        ShownTrace trace(window, buffer);
        window.Form_Load();
        window.bOpen_Click();
        port.Deliver(u"P,00100,00100,00100,00100,00000,00033,00001,00000,00000\r"_s);
        window.tAccel.SetText(u"1\n2"_s);
    }
    const QStringList lines = Lines(buffer);
    EXPECT_TRUE(lines.contains(u"Shape1.FillColor 255"_s));
    EXPECT_TRUE(lines.contains(u"Shape1.FillColor 65280"_s));
    EXPECT_TRUE(lines.contains(u"bOpen.Caption Disconnect"_s));
    EXPECT_TRUE(lines.contains(u"tLFB.Text 033"_s));
    EXPECT_TRUE(lines.contains(u"bTPS.Caption TPS = Reverse"_s));
    EXPECT_TRUE(lines.contains(u"bSave.Enabled 1"_s));
    EXPECT_TRUE(lines.contains(u"pCPort.Items 1"_s));
    EXPECT_TRUE(lines.contains(u"tAccel.Text 1\\n2"_s)); // one line per change, always
    EXPECT_EQ(lines.last(), u"tStatus.Caption Accel Changed, save required."_s);
    EXPECT_EQ(adapterSaw.last(), u"Accel Changed, save required."_s);

    // Gone with the trace: the adapter's own hook is back and nothing more is written.
    const qint64 size = buffer.size();
    window.bDef_Click();
    EXPECT_EQ(buffer.size(), size);
    EXPECT_EQ(adapterSaw.last(), u"Default loaded, save required."_s);
}

TEST(ShownTrace, AttachesBeforeOrAfterAnotherObserver) {
    testing::MemoryPort port;
    DCCD window(port, {[] { return comfunct::PortScan{}; }, [](qint16) { return QString(); }});
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ShownTrace trace(window, buffer);
    QStringList adapterSaw;
    window.tStatus.Observe(
        [&](const Control &c, ControlProperty) { adapterSaw.append(c.Caption()); });
    window.bDef_Click();
    // Both saw every status change: the six notices of the written boxes, then the handler's own.
    QStringList traced;
    for (const QString &line : Lines(buffer)) {
        if (line.startsWith(u"tStatus.Caption "))
            traced.append(line.section(u' ', 1));
    }
    EXPECT_EQ(adapterSaw.size(), 7);
    EXPECT_EQ(traced, adapterSaw);
    EXPECT_EQ(adapterSaw.last(), u"Default loaded, save required."_s);
}

} // namespace
} // namespace tuner
