// Every text the window shows fits its designed box in its designed font, with the fonts the
// package depends on on Linux and with Windows' own and the one built in on Windows: no caption
// cut off, no more lines than the box holds. The status line is
// driven through the window's own handlers with the longest values each message can carry.
#include "tests/support/memory_port.h"
#include "window/dccd.h"
#include "window/layout.h"
#include "window/qt/built_in_fonts.h"
#include "window/qt/dccd_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

#include <functional>
#include <vector>

extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace tuner {
namespace {

using testing::MemoryPort;

bool g_builtInFontsLoaded = false;

QApplication &App() {
    static int argc = 1;
    static char name[] = "text_fit_test";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        auto *made = new QApplication(argc, argv);
        g_builtInFontsLoaded = DccdWindow::InstallFontSubstitutes();
        return made;
    }();
    return *app;
}

// Why the text does not fit the control's designed box, or "" when it does.
QString Misfit(const QString &name, const QString &text) {
    App();
    const ControlLayout *design = FindLayout(name);
    if (!design)
        return QStringLiteral("no control ") + name;
    const QFont font = DccdWindow::DesignedFont(name);
    const QFontMetrics metrics(font);
    const bool button = design->kind == ControlKind::CommandButton;
    // A button's caption stays on one line inside the frame the style draws around it.
    const int width = design->Width() - (button ? 8 : 0);
    const int flags = (button ? 0 : int(Qt::TextWordWrap)) |
                      (design->align == TextAlign::Left ? Qt::AlignLeft : Qt::AlignHCenter);
    const QRect needed = metrics.boundingRect(QRect(0, 0, width, 10000), flags, text);
    const int lines = (needed.height() + metrics.lineSpacing() / 2) / metrics.lineSpacing();
    if (needed.width() <= width && needed.height() <= design->Height())
        return {};
    return QStringLiteral("\"%1\" in %2 (%3 %4 pt) needs %5x%6 px, %7 lines; the box is %8x%9")
        .arg(text, name, QFontInfo(font).family())
        .arg(design->pointSize)
        .arg(needed.width())
        .arg(needed.height())
        .arg(lines)
        .arg(width)
        .arg(design->Height());
}

TEST(TextFit, EveryDesignedCaptionFitsItsBox) {
    std::vector<std::pair<QString, QString>> texts;
    for (const ControlLayout &design : WindowLayout()) {
        if (!design.fontFamily.isEmpty() && !design.caption.isEmpty())
            texts.emplace_back(design.name, design.caption);
    }
    // The captions the buttons change to.
    for (const auto &[name, caption] : {std::pair{u"bOpen", u"Disconnect"},
                                        {u"bTPS", u"TPS = Reverse"},
                                        {u"bEbrk", u"Ebrake Cut = Off"}})
        texts.emplace_back(QString::fromUtf16(name), QString::fromUtf16(caption));
    // The widest numbers the value boxes show.
    for (const char16_t *box : {u"tAccel", u"tDecel", u"tTurn", u"tMax", u"tMin", u"tLFB"})
        texts.emplace_back(QString::fromUtf16(box), QStringLiteral("200"));
    ASSERT_GT(texts.size(), 20u);
    for (const auto &[name, text] : texts)
        EXPECT_TRUE(Misfit(name, text).isEmpty()) << Misfit(name, text).toStdString();
}

// Z003 from the package's dependency on Linux, TeX Gyre Chorus from the program on Windows.
TEST(TextFit, TheLogoFontIsTheChanceryFaceThePackageBrings) {
    App();
    EXPECT_TRUE(g_builtInFontsLoaded);
    for (const char16_t *name : {u"tLogo", u"Label1"}) {
        const QString family =
            QFontInfo(DccdWindow::DesignedFont(QString::fromUtf16(name))).family();
        EXPECT_TRUE(family.startsWith(ChanceryFamily()))
            << family.toStdString() << ", not " << ChanceryFamily().toStdString();
    }
}

// Every status message, each variable part at its longest.
class StatusMessages : public ::testing::Test {
protected:
    StatusMessages()
        : w(port, {[] {
                       return comfunct::PortScan{{QStringLiteral("16")}, 16, {}};
                   },
                   [this](qint16) { return device; }}) {
        w.tStatus.Observe([this](const Control &c, ControlProperty p) {
            if (p == ControlProperty::Caption && !c.Caption().isEmpty())
                shown.append(c.Caption());
        });
        w.Form_Load();
    }

    void Connect(const QString &portText = QStringLiteral("16")) {
        w.pCPort.SetText(portText);
        w.bOpen.RaiseClick();
    }
    void Report() {
        port.Deliver(QStringLiteral("P,00200,00200,00200,00100,00100,00100,00001,00001,00001\r"));
    }

    MemoryPort port;
    QString device = QStringLiteral("/dev/ttyUSB7");
    DCCD w;
    QStringList shown;
};

TEST_F(StatusMessages, FitTwoLinesOfTheStatusLine) {
    // The reasons of the real port service, with the longest system texts an open or a write
    // of a serial device gives.
    const QStringList openReasons = {QStringLiteral("no such port"),
                                     QStringLiteral("ports are numbered 1 to 255"),
                                     QStringLiteral("not a serial device"),
                                     QStringLiteral("in use by another program"),
                                     QStringLiteral("join group dialout, log in again"),
                                     QStringLiteral("no group gives access, only root"),
                                     QStringLiteral("no permission to reach it"),
                                     QStringLiteral("line settings not supported"),
                                     QStringLiteral("the device does not respond"),
                                     QStringLiteral("resource temporarily unavailable"),
                                     QStringLiteral("inappropriate ioctl for device")};
    const QStringList lineReasons = {
        QStringLiteral("the device was removed or stopped working"),
        QStringLiteral("the device was removed"),
        QStringLiteral("write failed (resource temporarily unavailable)"),
        QStringLiteral("the device failed (inappropriate ioctl for device)")};
    const QStringList devices = {
        QStringLiteral("/dev/ttyUSB7"), QStringLiteral("/dev/pts/1234"),
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")};

    for (const QString &path : devices) {
        device = path;
        for (const QString &reason : openReasons) {
            port.FailNextOpen(reason);
            Connect();
        }
    }
    for (const QString &typed :
         {QStringLiteral("-999999999999"), QStringLiteral("port sixteen please"),
          QStringLiteral("COM255"), QString()})
        Connect(typed);

    for (const QString &reason : lineReasons) {
        port.FailWrites(reason);
        Connect(); // the read request fails
        port.FailWrites(std::nullopt);
        Report();
        w.bCalG.RaiseClick();
        w.bTPS.RaiseClick();
        w.bEbrk.RaiseClick();
        w.bDef.RaiseClick();
        w.tAccel.SetText(QStringLiteral("x"));
        w.tDecel.SetText(QStringLiteral("x"));
        w.tTurn.SetText(QStringLiteral("x"));
        w.tMax.SetText(QStringLiteral("x"));
        w.tMin.SetText(QStringLiteral("x"));
        w.tLFB.SetText(QStringLiteral("x"));
        w.bSave.RaiseClick(); // Acceleration % is not a number
        for (Control *box : {&w.tAccel, &w.tDecel, &w.tTurn, &w.tMax, &w.tMin})
            box->SetText(QStringLiteral("1"));
        w.bSave.RaiseClick(); // LFB Threshold % is not a number
        w.tLFB.SetText(QStringLiteral("1"));
        port.FailWrites(reason);
        w.bSave.RaiseClick();
        port.FailWrites(std::nullopt);
        w.bSave.RaiseClick();
        port.LoseLine(reason);
        Connect();
        Report();
        w.bSave.RaiseClick();
        port.DropOutputAtNextClose();
        w.bOpen.RaiseClick(); // Disconnect, the save still queued
        Connect();
        Report();
        w.bSave.RaiseClick();
        port.LoseLine(reason, true); // the save still queued
        Connect();
        w.bOpen.RaiseClick(); // Disconnect
    }
    // Exit ends the window: its last words are checked alone.
    Connect();
    Report();
    w.bSave.RaiseClick();
    port.DropOutputAtNextClose();
    w.bExit.RaiseClick();

    shown.removeDuplicates();
    // Every form was reached: each open failure on each device, the typed ports, the handlers'
    // messages and each line failure.
    EXPECT_EQ(shown.size(), 68) << shown.join(u'\n').toStdString();
    for (const QString &message :
         {QStringLiteral("Not saved: LFB Threshold % is not a number."),
          QStringLiteral("Save was successful!"), QStringLiteral("Disconnected."),
          QStringLiteral("Disconnected. The last save did not reach the line."),
          QStringLiteral("Connection lost. The last save did not reach the line."),
          QStringLiteral("The last save did not reach the line.")})
        EXPECT_TRUE(shown.contains(message)) << message.toStdString();
    for (const QString &message : std::as_const(shown))
        EXPECT_TRUE(Misfit(QStringLiteral("tStatus"), message).isEmpty())
            << Misfit(QStringLiteral("tStatus"), message).toStdString();
}

TEST_F(StatusMessages, ALongDeviceIsNamedInFullInTheTooltip) {
    device = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    port.FailNextOpen(QStringLiteral("no such port"));
    Connect();
    EXPECT_EQ(w.tStatus.Caption(),
              QStringLiteral("Cannot open port 16 (FTDI\u20260285BI): no such port."));
    EXPECT_EQ(w.StatusToolTip(), QStringLiteral("Cannot open port 16 (") + device +
                                     QStringLiteral("): no such port."));
    EXPECT_EQ(w.tStatus.Caption(),
              w.StatusToolTip().replace(device, QStringLiteral("FTDI\u20260285BI")));
    w.tLFB.SetText(QStringLiteral("5")); // a later message is its own tooltip
    EXPECT_EQ(w.StatusToolTip(), w.tStatus.Caption());
}

} // namespace
} // namespace tuner
