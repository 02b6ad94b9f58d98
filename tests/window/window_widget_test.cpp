// The Qt window on the offscreen platform: geometry, fonts, tab order, typing and clicks.
#include "tests/support/memory_port.h"
#include "window/dccd.h"
#include "window/layout.h"
#include "window/qt/dccd_window.h"
#include "window/qt/lamp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

// Under the leak checker: the system's fontconfig keeps its caches for the life of the process.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace tuner {
namespace {

using testing::MemoryPort;

const QString kReport =
    QStringLiteral("P,00100,00150,00100,00100,00000,00033,00001,00000,00000\r\n");

class WidgetWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "window_widget_test";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
            DccdWindow::InstallFontSubstitutes();
        }
    }

    WidgetWindow()
        : model(port, {[this] {
                           comfunct::PortScan scan;
                           scan.numbers = present;
                           scan.defaultPort = 3;
                           return scan;
                       },
                       [](qint16 n) { return QStringLiteral("/dev/ttyS%1").arg(n); },
                       [this] {
                           QList<comfunct::PortInfo> table;
                           for (const QString &n : std::as_const(present))
                               table.append({static_cast<qint16>(n.toInt()),
                                             QStringLiteral("/dev/ttyS") + n,
                                             true,
                                             QStringLiteral("USB serial ") + n,
                                             {},
                                             {}});
                           return table;
                       }}) {
        QObject::connect(&model, &DCCD::ProgramEnds, [this] { ++ended; });
        window = std::make_unique<DccdWindow>(model);
        model.Form_Load();
    }

    void Show() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 30000)); // bounds a hang only
    }

    template <typename T> T *W(const char16_t *name) {
        T *widget = qobject_cast<T *>(window->Widget(QString::fromUtf16(name)));
        EXPECT_NE(widget, nullptr) << QString::fromUtf16(name).toStdString();
        return widget;
    }

    QString FocusName() const {
        QWidget *focus = QApplication::focusWidget();
        // The line edit of the port list stands for the list itself.
        if (focus && qobject_cast<QComboBox *>(focus->parentWidget()))
            focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    }

    MemoryPort port;
    QStringList present{QStringLiteral("3"), QStringLiteral("5")}; // what the probe finds
    DCCD model;
    std::unique_ptr<DccdWindow> window;
    int ended = 0;
};

TEST_F(WidgetWindow, EveryControlSitsInItsDesignedBoxWithItsFont) {
    for (const ControlLayout &design : WindowLayout()) {
        SCOPED_TRACE(design.name.toStdString());
        QWidget *widget = window->Widget(design.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(),
                  QRect(design.Left(), design.Top(), design.Width(), design.Height()));
        EXPECT_TRUE(widget->isVisibleTo(window.get()));
        if (design.fontFamily.isEmpty())
            continue;
        const QFont font = widget->font();
        EXPECT_EQ(font.family(), design.fontFamily);
        EXPECT_DOUBLE_EQ(font.pointSizeF(), design.pointSize);
        // Bold, but the chancery face standing in for the logo's at its own weight.
        EXPECT_GE(font.weight(), design.fontFamily == u"Magneto" ? QFont::Medium : QFont::Bold);
        EXPECT_FALSE(font.underline());
        Qt::Alignment align;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            align = label->alignment();
            EXPECT_TRUE(label->wordWrap());
            EXPECT_TRUE(label->autoFillBackground());
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            align = edit->alignment();
        } else {
            continue;
        }
        EXPECT_EQ(align & Qt::AlignHorizontal_Mask,
                  design.align == TextAlign::Left ? Qt::AlignLeft : Qt::AlignHCenter);
    }
}

TEST_F(WidgetWindow, TheWindowHasAFixedClientAreaAndOnlyACloseBox) {
    EXPECT_EQ(window->minimumSize(), QSize(358, 436));
    EXPECT_EQ(window->maximumSize(), QSize(358, 436));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->windowTitle(), model.Caption());
    EXPECT_FALSE(window->windowTitle().isEmpty());
}

TEST_F(WidgetWindow, ButtonsAreNeverDefaultAndCarryNoAccessKey) {
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->text().contains(u'&'));
    }
}

TEST_F(WidgetWindow, FirstFocusIsExitAndEnterClicksIt) {
    Show();
    EXPECT_EQ(FocusName(), u"bExit");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(ended, 1);
}

TEST_F(WidgetWindow, SpaceAndKeypadEnterClickTheFocusedButton) {
    Show();
    W<QPushButton>(u"bOpen")->setFocus();
    QTest::keyClick(W<QPushButton>(u"bOpen"), Qt::Key_Space);
    EXPECT_TRUE(port.PortOpen());
    QTest::keyClick(W<QPushButton>(u"bOpen"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(), u"Disconnected.");
}

TEST_F(WidgetWindow, EnterInABoxClicksNoButton) {
    Show();
    W<QLineEdit>(u"tLFB")->setFocus();
    QTest::keyClick(W<QLineEdit>(u"tLFB"), Qt::Key_Return);
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(WidgetWindow, TabVisitsEveryControlInDesignedOrder) {
    Show();
    for (Control *control : model.Controls())
        control->SetEnabled(true);
    W<QLineEdit>(u"tAccel")->setFocus();
    QStringList visited{FocusName()};
    for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(FocusName());
    }
    EXPECT_EQ(visited.join(u' '), u"tAccel tDecel tTurn bSave bTPS bEbrk tMin tMax bExit bCalG "
                                  u"bOpen pCPort tLFB bDef tAccel");
}

TEST_F(WidgetWindow, TabSkipsDisabledControlsAfterStart) {
    Show();
    QStringList visited{FocusName()};
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(FocusName());
    }
    EXPECT_EQ(visited.join(u' '), u"bExit bOpen pCPort tLFB bExit");
}

TEST_F(WidgetWindow, TypingIntoLfbAfterStartPostsItsNoticeAndDisabledBoxesTakeNothing) {
    Show();
    QTest::keyClicks(W<QLineEdit>(u"tAccel"), QStringLiteral("42"));
    EXPECT_EQ(W<QLineEdit>(u"tAccel")->text(), u"");
    EXPECT_EQ(model.tAccel.Text(), u"");
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(), u"");
    W<QLineEdit>(u"tLFB")->setFocus();
    QTest::keyClicks(W<QLineEdit>(u"tLFB"), QStringLiteral("42"));
    EXPECT_EQ(model.tLFB.Text(), u"42");
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(), u"LFB Threshold Changed, save required.");
}

TEST_F(WidgetWindow, AMouseClickReachesItsHandler) {
    Show();
    QTest::mouseClick(W<QPushButton>(u"bOpen"), Qt::LeftButton);
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(port.written, QStringList{QStringLiteral("R\r")});
    EXPECT_EQ(W<QPushButton>(u"bOpen")->text(), u"Disconnect");
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(),
              u"Waiting for DCCD to respond... check your com port!");
    EXPECT_FALSE(W<QLineEdit>(u"tLFB")->isEnabled());
    QTest::mouseClick(W<QPushButton>(u"bSave"), Qt::LeftButton); // disabled: no click
    EXPECT_EQ(port.written.size(), 1);
}

TEST_F(WidgetWindow, AReportIsMirroredAndEachWriteRaisesOneChange) {
    Show();
    int accelChanges = 0;
    auto handler = model.tAccel.Change;
    model.tAccel.Change = [&] {
        ++accelChanges;
        handler();
    };
    model.bOpen.RaiseClick();
    port.Deliver(kReport);
    EXPECT_EQ(accelChanges, 1);
    EXPECT_EQ(W<QLineEdit>(u"tAccel")->text(), u"100");
    EXPECT_EQ(W<QLineEdit>(u"tDecel")->text(), u"150");
    EXPECT_EQ(W<QLineEdit>(u"tLFB")->text(), u"033");
    EXPECT_EQ(W<QPushButton>(u"bTPS")->text(), u"TPS = Reverse");
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(), u"Parmeters Received from Controller.");
    EXPECT_TRUE(W<QPushButton>(u"bSave")->isEnabled());
    EXPECT_EQ(W<Lamp>(u"Shape1")->accessibleDescription(), u"Parameters received");

    // Typing one character writes the model once and posts the notice once.
    W<QLineEdit>(u"tAccel")->setFocus();
    W<QLineEdit>(u"tAccel")->selectAll();
    QTest::keyClicks(W<QLineEdit>(u"tAccel"), QStringLiteral("7"));
    EXPECT_EQ(accelChanges, 2);
    EXPECT_EQ(model.tAccel.Text(), u"7");
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(), u"Accel Changed, save required.");
}

TEST_F(WidgetWindow, ClickingSaveWithALetterFocusesTheBox) {
    Show();
    model.bOpen.RaiseClick();
    port.Deliver(kReport);
    W<QLineEdit>(u"tMax")->setFocus();
    W<QLineEdit>(u"tMax")->selectAll();
    QTest::keyClicks(W<QLineEdit>(u"tMax"), QStringLiteral("x"));
    QTest::mouseClick(W<QPushButton>(u"bSave"), Qt::LeftButton);
    EXPECT_EQ(FocusName(), u"tMax");
    EXPECT_EQ(W<QLabel>(u"tStatus")->text(), u"Not saved: Max Output % is not a number.");
    EXPECT_EQ(port.written.size(), 1);
}

TEST_F(WidgetWindow, ThePortListShowsItsItemsWithTooltipsAndTakesAPick) {
    auto *combo = W<QComboBox>(u"pCPort");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), u"5");
    // Tooltips are looked up when the list opens.
    Show();
    combo->showPopup();
    EXPECT_EQ(combo->itemData(1, Qt::ToolTipRole).toString(), u"/dev/ttyS5\nUSB serial 5");
    combo->hidePopup();
    EXPECT_EQ(combo->currentText(), u"3");
    Q_EMIT combo->activated(1);
    EXPECT_EQ(model.pCPort.Text(), u"5");
    model.pCPort.SetText(QStringLiteral("12"));
    EXPECT_EQ(combo->currentText(), u"12");
    EXPECT_EQ(combo->count(), 2);
}

TEST_F(WidgetWindow, OpeningThePortListProbesAgainAndKeepsTheTypedText) {
    Show();
    auto *combo = W<QComboBox>(u"pCPort");
    combo->lineEdit()->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("9"));
    const QString status = model.tStatus.Caption();

    present = {QStringLiteral("5"), QStringLiteral("7")}; // 3 pulled, 7 plugged in
    combo->showPopup();
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    EXPECT_EQ(items, present);
    EXPECT_EQ(combo->itemData(1, Qt::ToolTipRole).toString(), u"/dev/ttyS7\nUSB serial 7");
    combo->hidePopup();
    EXPECT_EQ(combo->currentText(), u"9");
    EXPECT_EQ(model.pCPort.Text(), u"9");
    EXPECT_EQ(model.tStatus.Caption(), status) << "refilling the list raises no event";

    // The new port can be picked.
    combo->showPopup();
    Q_EMIT combo->activated(1);
    combo->hidePopup();
    EXPECT_EQ(model.pCPort.Text(), u"7");
}

// The hint says what is known of this controller's value: nothing before it reports, what it
// reported, what was sent after a save, and nothing again after a new connection or a lost line.
TEST_F(WidgetWindow, EachBoxTellsItsRangeAndWhatIsKnownOfTheControllersValue) {
    struct Box {
        const char16_t *name;
        const char16_t *range;
        const char16_t *held; // kReport holds 100, 150, 100, 100, 0, 33
        const char16_t *sent; // after the edit of tDecel to 180 and Save
    };
    const Box boxes[] = {
        {u"tAccel", u"0 to 200 %", u"; the controller holds 100", u"; 100 sent, not read back"},
        {u"tDecel", u"0 to 200 %", u"; the controller holds 150", u"; 180 sent, not read back"},
        {u"tTurn", u"0 to 200 %", u"; the controller holds 100", u"; 100 sent, not read back"},
        {u"tMax", u"0 to 100 %", u"; the controller holds 100", u"; 100 sent, not read back"},
        {u"tMin", u"0 to 100 %", u"; the controller holds 000", u"; 000 sent, not read back"},
        {u"tLFB", u"0 to 100 %", u"; the controller holds 033", u"; 033 sent, not read back"},
    };
    enum Known { Nothing, Held, Sent };
    auto expectHints = [&](Known known, int line) {
        for (const Box &box : boxes) {
            const QString hint =
                QString::fromUtf16(box.range) + QString::fromUtf16(known == Held   ? box.held
                                                                   : known == Sent ? box.sent
                                                                                   : u"");
            EXPECT_EQ(W<QLineEdit>(box.name)->toolTip(), hint) << "line " << line;
            EXPECT_EQ(W<QLineEdit>(box.name)->accessibleDescription(), hint) << "line " << line;
        }
    };
    Show();
    expectHints(Nothing, __LINE__);
    model.bOpen.RaiseClick();
    port.Deliver(QStringLiteral("not a report, but long enough to be taken as one......"));
    expectHints(Nothing, __LINE__);
    port.Deliver(kReport);
    expectHints(Held, __LINE__);

    // An edit changes the text, not what the controller holds.
    W<QLineEdit>(u"tDecel")->setFocus();
    W<QLineEdit>(u"tDecel")->selectAll();
    QTest::keyClicks(W<QLineEdit>(u"tDecel"), QStringLiteral("180"));
    EXPECT_EQ(W<QLineEdit>(u"tDecel")->text(), u"180");
    expectHints(Held, __LINE__);
    EXPECT_TRUE(model.bSave.Hint().isEmpty());

    model.bSave.RaiseClick();
    expectHints(Sent, __LINE__);
    model.bDef.RaiseClick(); // only the window changes
    expectHints(Sent, __LINE__);
    port.LoseLine(QStringLiteral("the device was removed"));
    expectHints(Nothing, __LINE__);
    model.bOpen.RaiseClick();
    port.Deliver(kReport);
    expectHints(Held, __LINE__);
    model.bOpen.RaiseClick(); // Disconnect: what was read stays known
    expectHints(Held, __LINE__);
    model.bOpen.RaiseClick(); // Connect to a controller that never answers
    expectHints(Nothing, __LINE__);
}

TEST_F(WidgetWindow, ThePortFieldShowsExactlyWhatWasTyped) {
    // With the items "3", "5" and "13", typing "1" must not complete to "13": the field shows
    // the port that Connect will read.
    model.pCPort.AddItem(QStringLiteral("13"));
    Show();
    auto *combo = W<QComboBox>(u"pCPort");
    combo->lineEdit()->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("1"));
    EXPECT_EQ(combo->currentText(), u"1");
    EXPECT_EQ(model.pCPort.Text(), u"1");
}

TEST_F(WidgetWindow, ATextBoxTakesAPasteOfAnyLength) {
    Show();
    auto *box = W<QLineEdit>(u"tLFB");
    const QString longText(40000, u'7');
    box->setFocus();
    box->insert(longText); // what a paste does
    EXPECT_EQ(box->text().size(), longText.size());
    EXPECT_EQ(model.tLFB.Text(), longText);
}

TEST_F(WidgetWindow, TheLampPaintsItsColourAndTellsItInWords) {
    Show();
    auto *lamp = W<Lamp>(u"Shape1");
    const auto centre = [&] {
        const QImage image = lamp->grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    };
    EXPECT_EQ(centre(), QColor(255, 0, 0));
    EXPECT_EQ(lamp->accessibleDescription(), u"Not connected");
    model.bOpen.RaiseClick();
    EXPECT_EQ(centre(), QColor(255, 255, 0));
    EXPECT_EQ(lamp->accessibleDescription(), u"Waiting for the controller");
}

TEST_F(WidgetWindow, EveryControlHasASpeakableName) {
    EXPECT_EQ(W<QLineEdit>(u"tAccel")->accessibleName(), u"Acceleration %");
    EXPECT_EQ(W<QLineEdit>(u"tLFB")->accessibleName(), u"LFB Threshold %");
    EXPECT_EQ(W<QComboBox>(u"pCPort")->accessibleName(), u"Com Port");
    EXPECT_EQ(W<QPushButton>(u"bOpen")->accessibleName(), u"Connect");
    model.bOpen.RaiseClick();
    EXPECT_EQ(W<QPushButton>(u"bOpen")->accessibleName(), u"Disconnect");
    EXPECT_EQ(W<QLabel>(u"tStatus")->accessibleDescription(),
              u"Waiting for DCCD to respond... check your com port!");
    EXPECT_EQ(W<QLabel>(u"tStatus")->toolTip(),
              u"Waiting for DCCD to respond... check your com port!");
    for (const ControlLayout &design : WindowLayout()) {
        if (design.name != u"tStatus") {
            EXPECT_FALSE(window->Widget(design.name)->accessibleName().isEmpty())
                << design.name.toStdString();
        }
    }
}

TEST_F(WidgetWindow, TheCloseBoxIsExitAndClosesAnOpenPort) {
    Show();
    model.bOpen.RaiseClick();
    ASSERT_TRUE(port.PortOpen());
    window->close();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.closes, 1);
}

} // namespace
} // namespace tuner
