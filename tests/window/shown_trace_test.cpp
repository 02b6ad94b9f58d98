#include "tests/support/memory_port.h"
#include "window/shown_trace.h"

#include <gtest/gtest.h>

#include <QBuffer>

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
    QStringList present{QStringLiteral("1")};
    DCCD window(port, {[&] {
                           return comfunct::PortScan{present, 1, {}};
                       },
                       [](qint16) { return QStringLiteral("/dev/ttyUSB0"); }});
    QStringList adapterSaw;
    window.tStatus.Observe(
        [&](const Control &c, ControlProperty) { adapterSaw.append(c.Caption()); });
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        ShownTrace trace(window, buffer);
        window.Form_Load();
        present.append(QStringLiteral("2")); // linked in while running, then the list opened
        window.pCPort_DropDown();
        window.bOpen_Click();
        port.Deliver(QStringLiteral("P,00100,00100,00100,00100,00000,00033,00001,00000,00000\r"));
        window.tAccel.SetText(QStringLiteral("1\n2"));
    }
    const QStringList lines = Lines(buffer);
    EXPECT_TRUE(lines.contains(QStringLiteral("Shape1.FillColor 255")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Shape1.FillColor 65280")));
    EXPECT_TRUE(lines.contains(QStringLiteral("bOpen.Caption Disconnect")));
    EXPECT_TRUE(lines.contains(QStringLiteral("tLFB.Text 033")));
    EXPECT_TRUE(lines.contains(QStringLiteral("bTPS.Caption TPS = Reverse")));
    EXPECT_TRUE(lines.contains(QStringLiteral("bSave.Enabled 1")));
    EXPECT_TRUE(lines.contains(QStringLiteral("pCPort.Items 1")));
    EXPECT_TRUE(lines.contains(QStringLiteral("pCPort.Items 1 2")));
    EXPECT_TRUE(lines.contains(QStringLiteral("tAccel.Text 1\\n2"))); // one line per change, always
    EXPECT_EQ(lines.last(), QStringLiteral("tStatus.Caption Accel Changed, save required."));
    EXPECT_EQ(adapterSaw.last(), QStringLiteral("Accel Changed, save required."));

    // Gone with the trace: the adapter's own hook is back and nothing more is written.
    const qint64 size = buffer.size();
    window.bDef_Click();
    EXPECT_EQ(buffer.size(), size);
    EXPECT_EQ(adapterSaw.last(), QStringLiteral("Default loaded, save required."));
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
    EXPECT_EQ(adapterSaw.last(), QStringLiteral("Default loaded, save required."));
}

} // namespace
} // namespace tuner
