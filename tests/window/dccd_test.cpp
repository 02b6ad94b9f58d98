// The window's logic against the in-memory port, without a display.
#include "tests/support/memory_port.h"
#include "tests/support/platform_ports.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#include "tests/support/window_snapshot.h"
#include "window/dccd.h"
#include "window/layout.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <array>
#include <ostream>
#include <vector>

namespace tuner {
namespace {

using testing::MemoryPort;

const QString kWaiting = QStringLiteral("Waiting for DCCD to respond... check your com port!");
const QString kReceived = QStringLiteral("Parmeters Received from Controller.");
const QString kDefaultRecord =
    QStringLiteral("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,\r");

QString Report(const char16_t *percents, const char16_t *switches) {
    return QStringLiteral("P,") + QString::fromUtf16(percents) + u',' +
           QString::fromUtf16(switches) + QStringLiteral("\r\n");
}

const QString kReport = Report(u"00100,00100,00100,00100,00000,00033", u"00001,00001,00000");

// Everything the user can see or the window holds, the receive buffer included.
QStringList Snapshot(const DCCD &w) {
    return testing::WindowSnapshot(w) << QStringLiteral("buffer|") + w.ReceiveBuffer;
}

class WindowLogic : public ::testing::Test {
protected:
    WindowLogic() : w(port, Directory()) {
        QObject::connect(&w, &DCCD::ProgramEnds, [this] {
            ++ended;
            portOpenAtEnd = port.PortOpen();
        });
        QObject::connect(&w, &DCCD::FocusRequested,
                         [this](Control *c) { focused.append(c->Name()); });
        w.tStatus.Observe([this](const Control &c, ControlProperty p) {
            if (p == ControlProperty::Caption)
                statusHistory.append(c.Caption());
        });
    }

    PortDirectory Directory() {
        return {[this] {
                    comfunct::PortScan scan;
                    scan.numbers = existing;
                    scan.unlisted = unlisted;
                    if (!existing.isEmpty())
                        scan.defaultPort = static_cast<qint16>(existing.first().toInt());
                    return scan;
                },
                [this](qint16 n) {
                    if (unlisted.contains(n)) // as Windows numbers its ports
                        return QStringLiteral("COM%1").arg(n);
                    return n >= 1 && n <= 16 ? QStringLiteral("/dev/ttyUSB%1").arg(n - 1)
                                             : QString();
                }};
    }

    void Load() { w.Form_Load(); }
    void Connect() {
        Load();
        w.bOpen.RaiseClick();
    }
    void Shown(const QString &report = kReport) {
        Connect();
        port.Deliver(report);
    }
    QStringList SaveFields() {
        w.bSave.RaiseClick();
        if (port.written.isEmpty())
            return {};
        return port.written.last().split(u',');
    }
    void SetBoxes(const std::array<const char16_t *, 6> &texts) {
        std::array<Control *, 6> boxes = {&w.tAccel, &w.tDecel, &w.tTurn,
                                          &w.tMax,   &w.tMin,   &w.tLFB};
        for (std::size_t i = 0; i < boxes.size(); ++i)
            boxes[i]->SetText(QString::fromUtf16(texts[i]));
    }

    QStringList existing = {QStringLiteral("3"), QStringLiteral("5")};
    QList<qint16> unlisted;
    MemoryPort port;
    DCCD w;
    int ended = 0;
    bool portOpenAtEnd = false;
    QStringList focused;
    QStringList statusHistory;
};

TEST_F(WindowLogic, StartsWithTheDesignedStateAndZeroParameters) {
    EXPECT_EQ(w.Accel, 0.0f);
    EXPECT_EQ(w.LfbThreshold, 0.0f);
    EXPECT_FALSE(w.TpsReverse || w.EbrakeCutOff || w.GSensorCalibrate);
    EXPECT_EQ(w.Shape1.FillColor(), 0);
    EXPECT_EQ(w.tTitle.Caption(), u"Tuning Utility V2.1");
    EXPECT_EQ(w.Controls().size(), 26);
    QStringList enabledBoxesAndButtons;
    for (const Control *c : w.Controls()) {
        if (c->Kind() != ControlKind::Label && c->Kind() != ControlKind::Shape && c->Enabled())
            enabledBoxesAndButtons.append(c->Name());
    }
    EXPECT_EQ(enabledBoxesAndButtons.join(u' '), u"pCPort bOpen tLFB bExit");
}

// Each control is built from its entry in the layout: name, kind, initial caption or text and
// enabled state as designed, in layout order.
TEST_F(WindowLogic, EveryControlStartsAsItsLayoutDesignsIt) {
    ASSERT_EQ(w.Controls().size(), WindowLayout().size());
    for (qsizetype i = 0; i < WindowLayout().size(); ++i) {
        const ControlLayout &design = WindowLayout().at(i);
        const Control *c = w.Controls().at(i);
        EXPECT_EQ(c, w.FindControl(design.name));
        EXPECT_EQ(c->Name(), design.name);
        EXPECT_EQ(c->Kind(), design.kind) << design.name.toStdString();
        const bool boxLike =
            design.kind == ControlKind::TextBox || design.kind == ControlKind::ComboBox;
        EXPECT_EQ(boxLike ? c->Text() : c->Caption(), design.caption) << design.name.toStdString();
        EXPECT_EQ(c->Enabled(), design.startsEnabled) << design.name.toStdString();
    }
    EXPECT_EQ(&w.tTitle, w.FindControl(QStringLiteral("tTitle")));
}

TEST_F(WindowLogic, LoadFillsThePortListWithTheExistingPorts) {
    Load();
    EXPECT_EQ(w.pCPort.Items(), (QStringList{QStringLiteral("3"), QStringLiteral("5")}));
    EXPECT_EQ(w.pCPort.Text(), u"3");
    EXPECT_EQ(w.pCPort.Hint(), u"");
    EXPECT_TRUE(w.bOpen.Enabled());
    EXPECT_EQ(w.tStatus.Caption(), u"");
    EXPECT_EQ(w.Shape1.FillColor(), kLampRed);

    // Opened later, the list holds the ports present then; the field keeps what was typed.
    existing = {QStringLiteral("5"), QStringLiteral("13")};
    w.pCPort.SetText(QStringLiteral("9"));
    w.pCPort_DropDown();
    EXPECT_EQ(w.pCPort.Items(), existing);
    EXPECT_EQ(w.pCPort.Text(), u"9");
}

TEST_F(WindowLogic, LoadWithoutPortsProposesSeventeenAndStillOffersConnect) {
    existing.clear();
    unlisted = {23, 255};
    Load();
    EXPECT_TRUE(w.pCPort.Items().isEmpty());
    EXPECT_EQ(w.pCPort.Text(), u"17");
    // The ports above 16 are never listed: the list's hint tells how to reach them.
    EXPECT_EQ(w.pCPort.Hint(), u"COM23 exists: type 23\nCOM255 exists: type 255");
    EXPECT_TRUE(w.bOpen.Enabled());
}

TEST_F(WindowLogic, LoadDisablesConnectWhileScanning) {
    DCCD *self = nullptr;
    bool enabledDuringScan = true;
    DCCD other(port, {[&] {
                          enabledDuringScan = self->bOpen.Enabled();
                          return comfunct::PortScan{};
                      },
                      {}});
    self = &other;
    other.Form_Load();
    EXPECT_FALSE(enabledDuringScan);
    EXPECT_TRUE(other.bOpen.Enabled());
}

// The four phases of a connection and the state of every control in each.
struct Phase {
    const char *name;
    int presses;   // presses of bOpen after loading
    bool reported; // a report arrives after the presses
    QString status;
    qint32 lamp;
    QString openCaption;
    bool editing; // bSave, bTPS, bEbrk, bCalG, bDef and the five boxes
    bool lfb;
};

void PrintTo(const Phase &p, std::ostream *os) {
    *os << "Connect pressed " << p.presses << (p.presses == 1 ? " time" : " times")
        << (p.reported ? ", then a report" : "") << ": status \"" << Printable(p.status)
        << "\", lamp " << p.lamp << ", button \"" << Printable(p.openCaption) << '"'
        << (p.editing ? ", editing" : "") << (p.lfb ? ", LFB box enabled" : "");
}

class PhaseTable : public WindowLogic, public ::testing::WithParamInterface<Phase> {};

TEST_P(PhaseTable, EveryControlHasThePhaseState) {
    const Phase &phase = GetParam();
    Load();
    for (int i = 0; i < phase.presses; ++i)
        w.bOpen.RaiseClick();
    if (phase.reported)
        port.Deliver(kReport);
    EXPECT_EQ(w.tStatus.Caption(), phase.status);
    EXPECT_EQ(w.Shape1.FillColor(), phase.lamp);
    EXPECT_EQ(w.bOpen.Caption(), phase.openCaption);
    EXPECT_TRUE(w.bOpen.Enabled());
    EXPECT_TRUE(w.pCPort.Enabled());
    EXPECT_TRUE(w.bExit.Enabled());
    for (const Control *c : {&w.bSave, &w.bTPS, &w.bEbrk, &w.bCalG, &w.bDef, &w.tAccel, &w.tDecel,
                             &w.tTurn, &w.tMax, &w.tMin})
        EXPECT_EQ(c->Enabled(), phase.editing) << c->Name().toStdString();
    EXPECT_EQ(w.tLFB.Enabled(), phase.lfb);
    EXPECT_EQ(port.PortOpen(), phase.presses % 2 == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Connection, PhaseTable,
    ::testing::Values(Phase{"AfterStart", 0, false, QString(), kLampRed, QStringLiteral("Connect"),
                            false, true},
                      Phase{"WaitingForReport", 1, false, kWaiting, kLampYellow,
                            QStringLiteral("Disconnect"), false, false},
                      Phase{"ParametersShown", 1, true, kReceived, kLampGreen,
                            QStringLiteral("Disconnect"), true, true},
                      Phase{"Disconnected", 2, false, QStringLiteral("Disconnected."), kLampRed,
                            QStringLiteral("Connect"), false, false},
                      Phase{"WaitingAgain", 3, false, kWaiting, kLampYellow,
                            QStringLiteral("Disconnect"), false, false}),
    RowName());

TEST_F(WindowLogic, ConnectSetsUpThePortInOrderAndAsksForTheSettings) {
    Connect();
    EXPECT_EQ(port.calls,
              (QStringList{QStringLiteral("CommPort=3"), QStringLiteral("Settings=57600,N,8,1"),
                           QStringLiteral("InputLen=0"), QStringLiteral("RThreshold=49"),
                           QStringLiteral("Open"), QStringLiteral("Output")}));
    EXPECT_EQ(port.written, QStringList{QStringLiteral("R\r")});
}

TEST_F(WindowLogic, ConnectReadsThePortTextTypedByTheUser) {
    Load();
    w.pCPort.SetText(QStringLiteral(" 1 2abc"));
    w.bOpen.RaiseClick();
    EXPECT_EQ(port.CommPort(), 12);
}

TEST_F(WindowLogic, TheOpenFlagNotTheCaptionDecidesConnectOrDisconnect) {
    Connect();
    w.bOpen.SetCaption(QStringLiteral("Connect"));
    w.bOpen.RaiseClick();
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(w.tStatus.Caption(), u"Disconnected.");
}

TEST_F(WindowLogic, AReportIsShownInDisplayFormWithSwitchCaptions) {
    Shown();
    const std::vector<std::pair<const Control *, const char16_t *>> expected = {
        {&w.tAccel, u"100"}, {&w.tDecel, u"100"}, {&w.tTurn, u"100"},
        {&w.tMax, u"100"},   {&w.tMin, u"000"},   {&w.tLFB, u"033"}};
    for (const auto &[box, text] : expected)
        EXPECT_EQ(box->Text(), QString::fromUtf16(text)) << box->Name().toStdString();
    EXPECT_EQ(w.bTPS.Caption(), u"TPS = Reverse");
    EXPECT_EQ(w.bEbrk.Caption(), u"Ebrake Cut = Off");
    EXPECT_TRUE(w.TpsReverse);
    EXPECT_TRUE(w.EbrakeCutOff);
    EXPECT_FALSE(w.GSensorCalibrate);
    EXPECT_EQ(w.ReceiveBuffer, kReport);
}

TEST_F(WindowLogic, AReportShowsStoredValuesNotTheReceivedTexts) {
    Shown(Report(u"33.6,250,5,-5,0,99.5", u"0,0,True"));
    EXPECT_EQ(w.tAccel.Text(), u"034");
    EXPECT_EQ(w.tDecel.Text(), u"250"); // no range check on a report
    EXPECT_EQ(w.tTurn.Text(), u"005");
    EXPECT_EQ(w.tMax.Text(), u"-005");
    EXPECT_EQ(w.tLFB.Text(), u"100");
    EXPECT_TRUE(w.GSensorCalibrate);
    EXPECT_TRUE(w.bCalG.Enabled()); // enabled whatever the calibration flag says
}

TEST_F(WindowLogic, AHandlersOwnStatusWinsOverTheNoticesOfItsWrites) {
    Connect();
    statusHistory.clear();
    port.Deliver(kReport);
    // Each written box raised its notice inside the write, before the handler's own status.
    EXPECT_EQ(statusHistory,
              (QStringList{QStringLiteral("Accel Changed, save required."),
                           QStringLiteral("Decel Changed, save required."),
                           QStringLiteral("Turning Changed, save required."),
                           QStringLiteral("Maximum Changed, save required."),
                           QStringLiteral("Minimum Changed, save required."),
                           QStringLiteral("LFB Threshold Changed, save required."), kReceived}));
    statusHistory.clear();
    w.bDef.RaiseClick();
    EXPECT_EQ(statusHistory.last(), u"Default loaded, save required.");
    EXPECT_GT(statusHistory.size(), 1);
}

TEST_F(WindowLogic, ASecondReportReplacesEditsAndResetsTheStatus) {
    Shown();
    w.tAccel.SetText(QStringLiteral("150"));
    w.bTPS.RaiseClick();
    w.bCalG.RaiseClick();
    port.Deliver(Report(u"120,100,100,100,0,33", u"0,0,0"));
    EXPECT_EQ(w.tAccel.Text(), u"120");
    EXPECT_EQ(w.bTPS.Caption(), u"TPS = Normal");
    EXPECT_FALSE(w.GSensorCalibrate);
    EXPECT_TRUE(w.bCalG.Enabled());
    EXPECT_EQ(w.tStatus.Caption(), kReceived);
}

TEST_F(WindowLogic, TextThatIsNotAFullReportChangesNothing) {
    const std::vector<QString> partial = {
        QStringLiteral("garbage"),
        QStringLiteral("P,100,100,100,100,0,33,0,0"),          // nine fields
        QStringLiteral("P,100,,100,100,100,0,33,0,0"),         // empty field moves the rest
        QStringLiteral("P,100,abc,100,100,0,33,0,0,0"),        // a percentage does not convert
        QStringLiteral("P,100,100,100,100,0,33,maybe,0,0"),    // a switch does not convert
        QStringLiteral("P,100,100,100,100,0,1e2,0,0,0"),       // exponent is not a number here
        QStringLiteral("P,100,100,100,100,0,3\\,3,0,0,0,0,0"), // escaped comma inside a number
        // A NUL inside field 1 splits it: every value moves up a place and still reads as one.
        QStringLiteral("P,001") + QChar(0) +
            QStringLiteral("00,00100,00100,00100,00000,00033,"
                           "00001,00000,00001\r"),
        QStringLiteral("P,00100,00100,00100,00100,00000,00033,00001,00000\x1b,00001\r"),
    };
    Shown();
    w.tAccel.SetText(QStringLiteral("150"));
    for (const QString &text : partial) {
        const QStringList before = Snapshot(w);
        w.HandleInput(text);
        EXPECT_EQ(Snapshot(w), before) << text.toStdString();
    }
    EXPECT_EQ(w.tStatus.Caption(), u"Accel Changed, save required.");
}

TEST_F(WindowLogic, AReceiveEventOfAnotherKindChangesNothing) {
    Connect();
    const QStringList before = Snapshot(w);
    port.calls.clear();
    port.Deliver(kReport, 3);
    EXPECT_EQ(Snapshot(w), before);
    EXPECT_FALSE(port.calls.contains(QStringLiteral("Input")));
}

TEST_F(WindowLogic, EachReceiveEventReplacesTheBuffer) {
    Connect();
    port.Deliver(QStringLiteral("noise without fields"));
    EXPECT_EQ(w.ReceiveBuffer, u"noise without fields");
    port.Deliver(kReport);
    EXPECT_EQ(w.ReceiveBuffer, kReport);
    EXPECT_EQ(w.tStatus.Caption(), kReceived);
}

TEST_F(WindowLogic, WhatWaitedBeforeConnectIsNeverShown) {
    // An earlier answer still on the line when the user connects again.
    port.Arrive(Report(u"00001,00002,00003,00004,00005,00006", u"00000,00000,00000"));
    Connect();
    port.Deliver(kReport);
    EXPECT_EQ(w.ReceiveBuffer, kReport);
    EXPECT_EQ(w.tAccel.Text(), u"100");
    EXPECT_EQ(w.tStatus.Caption(), kReceived);
}

// When the close or the loss of the line drops output the line did not take, the window says
// whether that lost a save, however the connection ends.
TEST_F(WindowLogic, EveryEndOfAConnectionTellsWhenTheLastSaveWasDropped) {
    enum class End { Disconnect, Exit, LineLost };
    const struct {
        End end;
        bool save;
        bool dropped;
        const char16_t *status;
        const char16_t *notice; // what the program says as it ends
    } cases[] = {
        {End::Disconnect, true, true, u"Disconnected. The last save did not reach the line.", u""},
        {End::Disconnect, true, false, u"Disconnected.", u""},
        {End::Disconnect, false, true, u"Disconnected.", u""}, // only the read request was lost
        {End::Exit, true, true, u"The last save did not reach the line.",
         u"The last save did not reach the line."},
        {End::Exit, true, false, u"Save was successful!", u""},
        {End::LineLost, true, true, u"Connection lost. The last save did not reach the line.", u""},
        {End::LineLost, true, false, u"Connection lost: the device was removed.", u""},
        {End::LineLost, false, true, u"Connection lost: the device was removed.", u""},
    };
    for (const auto &c : cases) {
        MemoryPort linePort;
        DCCD window(linePort, Directory());
        window.Form_Load();
        window.bOpen.RaiseClick();
        linePort.Deliver(kReport);
        if (c.save)
            window.bSave.RaiseClick();
        if (c.dropped)
            linePort.DropOutputAtNextClose();
        if (c.end == End::Disconnect)
            window.bOpen.RaiseClick();
        else if (c.end == End::Exit)
            window.bExit.RaiseClick();
        else
            linePort.LoseLine(QStringLiteral("the device was removed"), c.dropped);
        const int row = static_cast<int>(&c - cases);
        EXPECT_EQ(window.tStatus.Caption(), QString::fromUtf16(c.status)) << "row " << row;
        EXPECT_EQ(window.ClosingNotice(), QString::fromUtf16(c.notice)) << "row " << row;
        if (c.end == End::LineLost && c.save && c.dropped) {
            EXPECT_EQ(window.StatusToolTip(), u"Connection lost: the device was removed. The "
                                              u"last save did not reach the line.");
        }
    }
    // A save on an earlier connection is not the last output of the next one.
    Shown();
    w.bSave.RaiseClick();
    w.bOpen.RaiseClick();
    w.bOpen.RaiseClick();
    port.DropOutputAtNextClose();
    w.bOpen.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), u"Disconnected.");
}

// A line that echoes gives the save back: that is not the controller's report. The controller's
// own report after it, in the same delivery or later, still is, and so is the last report of a
// delivery that holds more than one record.
TEST_F(WindowLogic, TheSaveComingBackIsNoReportButTheLastReportAfterItIs) {
    Shown();
    w.tDecel.SetText(QStringLiteral("150"));
    w.bSave.RaiseClick();
    const QString echo = port.written.last();
    port.Deliver(echo);
    EXPECT_EQ(w.tStatus.Caption(), u"Save was successful!");
    EXPECT_EQ(w.Decel, 100.0f);
    EXPECT_EQ(w.Shape1.FillColor(), kLampGreen);

    port.Deliver(echo + Report(u"1,120,1,1,1,1", u"0,0,0") + QStringLiteral("OK>"));
    EXPECT_EQ(w.Decel, 120.0f);
    EXPECT_EQ(w.tDecel.Text(), u"120");
    EXPECT_EQ(w.tStatus.Caption(), kReceived);

    // After a new connection the old save is forgotten: a report tagged S is a report.
    w.bOpen.RaiseClick();
    w.bOpen.RaiseClick();
    port.Deliver(echo);
    EXPECT_EQ(w.tDecel.Text(), u"150");
    EXPECT_EQ(w.tStatus.Caption(), kReceived);
}

TEST_F(WindowLogic, DisconnectKeepsTheValuesAndReconnectShowsThemDisabled) {
    Shown();
    w.tMin.SetText(QStringLiteral("7"));
    w.bOpen.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), u"Disconnected.");
    EXPECT_EQ(w.tMin.Text(), u"7");
    EXPECT_EQ(w.tAccel.Text(), u"100");
    EXPECT_EQ(w.bTPS.Caption(), u"TPS = Reverse");
    EXPECT_EQ(w.Accel, 100.0f);
    w.bOpen.RaiseClick();
    EXPECT_EQ(w.tMin.Text(), u"7");
    EXPECT_FALSE(w.tMin.Enabled());
    EXPECT_EQ(w.Shape1.FillColor(), kLampYellow);
    EXPECT_EQ(port.written.last(), u"R\r");
    EXPECT_EQ(port.opens, 2);
}

// Switch toggles: caption first, then the switch, then the status.
struct Toggle {
    const char *name;
    Control DCCD::*button;
    bool DCCD::*flag;
    QString offCaption, onCaption, status;
};

void PrintTo(const Toggle &t, std::ostream *os) {
    *os << '"' << Printable(t.offCaption) << "\" and \"" << Printable(t.onCaption) << '"';
}

class Toggles : public WindowLogic, public ::testing::WithParamInterface<Toggle> {};

TEST_P(Toggles, FlipBackAndForthFromTheCaption) {
    const Toggle &t = GetParam();
    Shown(Report(u"100,100,100,100,0,33", u"0,0,0"));
    Control &button = w.*(t.button);
    ASSERT_EQ(button.Caption(), t.offCaption);
    button.RaiseClick();
    EXPECT_EQ(button.Caption(), t.onCaption);
    EXPECT_TRUE(w.*(t.flag));
    EXPECT_EQ(w.tStatus.Caption(), t.status);
    w.tStatus.SetCaption(QString());
    button.RaiseClick();
    EXPECT_EQ(button.Caption(), t.offCaption);
    EXPECT_FALSE(w.*(t.flag));
    EXPECT_EQ(w.tStatus.Caption(), t.status);
    EXPECT_EQ(port.written.size(), 1); // only the read request: nothing sent
}

INSTANTIATE_TEST_SUITE_P(
    Switches, Toggles,
    ::testing::Values(Toggle{"Tps", &DCCD::bTPS, &DCCD::TpsReverse, QStringLiteral("TPS = Normal"),
                             QStringLiteral("TPS = Reverse"),
                             QStringLiteral("TPS Changed, save required.")},
                      Toggle{"Ebrake", &DCCD::bEbrk, &DCCD::EbrakeCutOff,
                             QStringLiteral("Ebrake Cut = On"), QStringLiteral("Ebrake Cut = Off"),
                             QStringLiteral("Ebrake Changed, save required.")}),
    RowName());

TEST_F(WindowLogic, CalibrationIsCarriedByEverySaveUntilDefaultsClearIt) {
    Shown(Report(u"100,100,100,100,0,33", u"0,0,0"));
    w.bCalG.RaiseClick();
    EXPECT_FALSE(w.bCalG.Enabled());
    EXPECT_EQ(w.tStatus.Caption(), u"G-Sensor changed, save required.");
    EXPECT_EQ(SaveFields().value(9), u"00001");
    EXPECT_EQ(SaveFields().value(9), u"00001");
    EXPECT_FALSE(w.bCalG.Enabled());
    w.bDef.RaiseClick();
    EXPECT_FALSE(w.GSensorCalibrate);
    EXPECT_FALSE(w.bCalG.Enabled()); // Defaults leave it disabled
    EXPECT_EQ(SaveFields().value(9), u"00000");
}

TEST_F(WindowLogic, CalibrationIsClearedOrSetByTheNextReport) {
    Shown(Report(u"100,100,100,100,0,33", u"0,0,0"));
    w.bCalG.RaiseClick();
    port.Deliver(Report(u"100,100,100,100,0,33", u"0,0,0"));
    EXPECT_TRUE(w.bCalG.Enabled());
    EXPECT_EQ(SaveFields().value(9), u"00000");
    port.Deliver(Report(u"100,100,100,100,0,33", u"0,0,1"));
    EXPECT_EQ(SaveFields().value(9), u"00001");
}

TEST_F(WindowLogic, SavingRightAfterDefaultsWritesTheDefaultRecord) {
    Shown();
    w.bDef.RaiseClick();
    EXPECT_EQ(w.tLFB.Text(), u"33");
    EXPECT_EQ(w.tMin.Text(), u"0");
    EXPECT_EQ(w.bTPS.Caption(), u"TPS = Normal");
    EXPECT_EQ(w.bEbrk.Caption(), u"Ebrake Cut = On");
    EXPECT_EQ(w.tStatus.Caption(), u"Default loaded, save required.");
    EXPECT_EQ(port.written.size(), 1); // Defaults send nothing
    w.bSave.RaiseClick();
    ASSERT_EQ(port.written.size(), 2);
    EXPECT_EQ(port.written.last(), kDefaultRecord);
    EXPECT_EQ(port.written.last().size(), 57);
    EXPECT_EQ(w.tStatus.Caption(), u"Save was successful!");
}

TEST_F(WindowLogic, SaveClampsAndWritesTheClampedTextsBack) {
    Shown();
    SetBoxes({u"250", u"150", u"200", u"101", u"-5", u"33"});
    const QStringList fields = SaveFields();
    EXPECT_EQ(w.tAccel.Text(), u"200");
    EXPECT_EQ(w.tDecel.Text(), u"150");
    EXPECT_EQ(w.tTurn.Text(), u"200");
    EXPECT_EQ(w.tMax.Text(), u"100");
    EXPECT_EQ(w.tMin.Text(), u"0");
    EXPECT_EQ(w.tLFB.Text(), u"33");
    EXPECT_EQ(fields.mid(1, 6), (QStringList{QStringLiteral("00200"), QStringLiteral("00150"),
                                             QStringLiteral("00200"), QStringLiteral("00100"),
                                             QStringLiteral("00000"), QStringLiteral("00033")}));
    EXPECT_EQ(fields.size(), 11);
    EXPECT_EQ(fields.value(0), u"S");
    EXPECT_EQ(fields.value(10), u"\r");
    EXPECT_EQ(w.tStatus.Caption(), u"Save was successful!");
}

// One box at a time: what stays in it after Save and what goes on the wire.
struct Clamp {
    const char *name;
    int box; // 0 tAccel ... 5 tLFB
    const char16_t *typed;
    const char16_t *shown;
    const char16_t *sent;
};

void PrintTo(const Clamp &c, std::ostream *os) {
    *os << "box " << c.box << " typed \"" << QString::fromUtf16(c.typed).toStdString() << '"';
}

class Clamping : public WindowLogic, public ::testing::WithParamInterface<Clamp> {};

TEST_P(Clamping, ClampsAtTheBoxLimitsOnly) {
    const Clamp &c = GetParam();
    Shown();
    std::array<Control *, 6> boxes = {&w.tAccel, &w.tDecel, &w.tTurn, &w.tMax, &w.tMin, &w.tLFB};
    Control &box = *boxes[static_cast<std::size_t>(c.box)];
    box.SetText(QString::fromUtf16(c.typed));
    int changes = 0;
    box.Observe([&](const Control &, ControlProperty p) { changes += p == ControlProperty::Text; });
    const QStringList fields = SaveFields();
    EXPECT_EQ(box.Text(), QString::fromUtf16(c.shown));
    EXPECT_EQ(fields.value(c.box + 1), QString::fromUtf16(c.sent));
    EXPECT_EQ(changes, box.Text() == QString::fromUtf16(c.typed) ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, Clamping,
    ::testing::Values(Clamp{"AccelAtTheLimit", 0, u"200", u"200", u"00200"},
                      Clamp{"AccelFractionAbove", 0, u"200.4", u"200", u"00200"},
                      Clamp{"AccelNegative", 0, u"-1", u"0", u"00000"},
                      Clamp{"DecelZero", 1, u"0", u"0", u"00000"},
                      Clamp{"TurnAboveTheLimit", 2, u"201", u"200", u"00200"},
                      Clamp{"MaxAtTheLimit", 3, u"100", u"100", u"00100"},
                      Clamp{"MaxAboveTheLimit", 3, u"101", u"100", u"00100"},
                      Clamp{"MinFraction", 4, u"12.6", u"12.6", u"00013"},
                      Clamp{"MinSmallNegative", 4, u"-0.4", u"0", u"00000"},
                      Clamp{"LfbBlanksAndHalf", 5, u" 99.5 ", u" 99.5 ", u"00100"},
                      Clamp{"LfbAboveTheLimit", 5, u"100.5", u"100", u"00100"},
                      Clamp{"LfbLeadingZero", 5, u"033", u"033", u"00033"}),
    RowName());

// The change notice of each box, typed or written.
struct Notice {
    const char *name;
    Control DCCD::*box;
    const char16_t *status;
};

void PrintTo(const Notice &n, std::ostream *os) {
    *os << QString::fromUtf16(n.status).toStdString();
}

class Notices : public WindowLogic, public ::testing::WithParamInterface<Notice> {};

TEST_P(Notices, EveryChangeOfTheTextPostsTheBoxNotice) {
    Shown();
    Control &box = w.*(GetParam().box);
    box.SetText(QStringLiteral("12"));
    EXPECT_EQ(w.tStatus.Caption(), QString::fromUtf16(GetParam().status));
    w.tStatus.SetCaption(QStringLiteral("unchanged"));
    box.SetText(QStringLiteral("12")); // the same text is no change
    EXPECT_EQ(w.tStatus.Caption(), u"unchanged");
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, Notices,
    ::testing::Values(Notice{"Accel", &DCCD::tAccel, u"Accel Changed, save required."},
                      Notice{"Decel", &DCCD::tDecel, u"Decel Changed, save required."},
                      Notice{"Turning", &DCCD::tTurn, u"Turning Changed, save required."},
                      Notice{"Maximum", &DCCD::tMax, u"Maximum Changed, save required."},
                      Notice{"Minimum", &DCCD::tMin, u"Minimum Changed, save required."},
                      Notice{"LfbThreshold", &DCCD::tLFB,
                             u"LFB Threshold Changed, save required."}),
    RowName());

TEST_F(WindowLogic, TypingIntoTheLfbBoxRightAfterLoadPostsItsNotice) {
    Load();
    EXPECT_TRUE(w.tLFB.Enabled());
    w.tLFB.SetText(QStringLiteral("4"));
    EXPECT_EQ(w.tStatus.Caption(), u"LFB Threshold Changed, save required.");
}

// Save with a box that does not hold a number: nothing changes, nothing is sent.
struct NotANumber {
    std::array<const char16_t *, 6> texts;
    const char16_t *focus;
    const char16_t *status;
};

void PrintTo(const NotANumber &n, std::ostream *os) {
    *os << "boxes";
    for (const char16_t *text : n.texts)
        *os << " \"" << Printable(text) << '"';
}

class SaveRefused : public WindowLogic, public ::testing::WithParamInterface<NotANumber> {};

TEST_P(SaveRefused, FocusesTheFirstBadBoxAndNamesItsCaption) {
    const NotANumber &c = GetParam();
    Shown();
    SetBoxes(c.texts);
    w.tStatus.SetCaption(QString());
    const QStringList before = Snapshot(w);
    w.bSave.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), QString::fromUtf16(c.status));
    EXPECT_EQ(focused, QStringList{QString::fromUtf16(c.focus)});
    EXPECT_EQ(port.written, QStringList{QStringLiteral("R\r")});
    QStringList after = Snapshot(w);
    after.removeIf([](const QString &s) { return s.startsWith(u"tStatus|"); });
    QStringList expected = before;
    expected.removeIf([](const QString &s) { return s.startsWith(u"tStatus|"); });
    EXPECT_EQ(after, expected); // a box above its limit is not clamped either
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SaveRefused,
    ::testing::Values(NotANumber{{u"", u"100", u"100", u"100", u"0", u"33"},
                                 u"tAccel",
                                 u"Not saved: Acceleration % is not a number."},
                      NotANumber{{u"250", u"abc", u"100", u"100", u"0", u"33"},
                                 u"tDecel",
                                 u"Not saved: Deceleration % is not a number."},
                      NotANumber{{u"100", u"100", u"1e2", u"100", u"x", u"33"},
                                 u"tTurn",
                                 u"Not saved: Turning % is not a number."},
                      NotANumber{{u"100", u"100", u"100", u"1,5", u"0", u"33"},
                                 u"tMax",
                                 u"Not saved: Max Output % is not a number."},
                      NotANumber{{u"100", u"100", u"100", u"101", u" ", u"33"},
                                 u"tMin",
                                 u"Not saved: Min Output % is not a number."},
                      NotANumber{{u"-5", u"100", u"100", u"100", u"0", u"."},
                                 u"tLFB",
                                 u"Not saved: LFB Threshold % is not a number."}),
    // Named by the box that takes the focus.
    [](const ::testing::TestParamInfo<NotANumber> &info) {
        return QString::fromUtf16(info.param.focus).toStdString();
    });

TEST_F(WindowLogic, AFailedWriteIsNotReportedAsASuccessfulSave) {
    Shown();
    port.FailWrites(QStringLiteral("input/output error"));
    w.bSave.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), u"Save failed: input/output error.");
    EXPECT_EQ(port.written.size(), 1);
}

TEST_F(WindowLogic, AFailedReadRequestIsTold) {
    Load();
    port.FailWrites(QStringLiteral("resource temporarily unavailable."));
    w.bOpen.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), u"Read request failed: resource temporarily unavailable.");
    EXPECT_EQ(w.Shape1.FillColor(), kLampYellow);
}

// A port that cannot be opened: only the status line changes.
struct OpenFailure {
    const char *name;
    int pressesBefore;
    const char16_t *portText;
    const char16_t *reason;
    const char16_t *status;
    bool attempted;
};

void PrintTo(const OpenFailure &c, std::ostream *os) {
    *os << "port \"" << Printable(c.portText) << "\" failing with \"" << Printable(c.reason) << '"';
}

class OpenFailures : public WindowLogic, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailures, LeaveTheWindowAsItWasAndSayWhy) {
    const OpenFailure &c = GetParam();
    Shown();
    for (int i = 0; i < c.pressesBefore; ++i)
        w.bOpen.RaiseClick();
    ASSERT_FALSE(port.PortOpen());
    w.pCPort.SetText(QString::fromUtf16(c.portText));
    port.FailNextOpen(QString::fromUtf16(c.reason));
    port.calls.clear();
    const QStringList before = Snapshot(w);
    w.bOpen.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), QString::fromUtf16(c.status));
    QStringList after = Snapshot(w);
    after.removeIf([](const QString &s) { return s.startsWith(u"tStatus|"); });
    QStringList expected = before;
    expected.removeIf([](const QString &s) { return s.startsWith(u"tStatus|"); });
    EXPECT_EQ(after, expected);
    EXPECT_EQ(port.calls.contains(QStringLiteral("Open")), c.attempted);
    EXPECT_FALSE(port.calls.contains(QStringLiteral("Output")));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(ended, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, OpenFailures,
    ::testing::Values(
        OpenFailure{"NoSuchPort", 1, u"17", u"no such port", u"Cannot open port 17: no such port.",
                    true},
        OpenFailure{"PermissionDenied", 1, u"1", u"join group dialout, log in again.",
                    u"Cannot open port 1 (ttyUSB0): join group dialout, log in again.", true},
        OpenFailure{"InUse", 1, u"4", u"the port is in use",
                    u"Cannot open port 4 (ttyUSB3): the port is in use.", true},
        OpenFailure{"BeyondSixteenBits", 1, u"70000", u"unused",
                    u"Cannot open port 70000: ports are numbered 1 to " LAST_PORT u".", false},
        OpenFailure{"BelowSixteenBits", 1, u"-40000", u"unused",
                    u"Cannot open port -40000: ports are numbered 1 to " LAST_PORT u".", false},
        OpenFailure{"NotANumber", 1, u"abc", u"unused",
                    u"Cannot open port \"abc\": not a port number.", false},
        OpenFailure{"WindowsName", 1, u" com23", u"unused",
                    u"Cannot open port \"com23\": not a port number" TYPE_23 u".", false},
        OpenFailure{"LongTextNotANumber", 1, u"  port number one", u"unused",
                    u"Cannot open port \"port numb\u2026\": not a port number.", false},
        OpenFailure{"Empty", 1, u" ", u"unused", u"Cannot open port: no port number given.", false},
        OpenFailure{"Zero", 1, u"0", u"no such port", u"Cannot open port 0: no such port.", true}),
    RowName());

TEST_F(WindowLogic, AFailedFirstOpenLeavesTheStartState) {
    Load();
    port.FailNextOpen(QStringLiteral("no such port"));
    w.pCPort.SetText(QStringLiteral("17"));
    w.bOpen.RaiseClick();
    EXPECT_EQ(w.tStatus.Caption(), u"Cannot open port 17: no such port.");
    EXPECT_EQ(w.Shape1.FillColor(), kLampRed);
    EXPECT_EQ(w.bOpen.Caption(), u"Connect");
    EXPECT_TRUE(w.tLFB.Enabled());
    w.bOpen.RaiseClick(); // a later attempt works
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(WindowLogic, ALostLineDisconnectsAndKeepsTheValues) {
    Shown();
    w.tAccel.SetText(QStringLiteral("77"));
    port.LoseLine(QStringLiteral("the device was removed"));
    EXPECT_EQ(w.tStatus.Caption(), u"Connection lost: the device was removed.");
    EXPECT_EQ(w.Shape1.FillColor(), kLampRed);
    EXPECT_EQ(w.bOpen.Caption(), u"Connect");
    for (const Control *c : {&w.bSave, &w.bTPS, &w.bEbrk, &w.bCalG, &w.bDef, &w.tAccel, &w.tDecel,
                             &w.tTurn, &w.tMax, &w.tMin, &w.tLFB})
        EXPECT_FALSE(c->Enabled()) << c->Name().toStdString();
    EXPECT_TRUE(w.bExit.Enabled());
    EXPECT_EQ(w.tAccel.Text(), u"77");
    EXPECT_EQ(ended, 0);
    w.bOpen.RaiseClick(); // the next press connects again
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(w.tStatus.Caption(), kWaiting);
}

TEST_F(WindowLogic, ALossNoticeArrivingAfterAReconnectIsIgnored) {
    Shown();
    // The notice of an earlier loss comes through the event queue after Connect reopened.
    Q_EMIT port.LineLost();
    EXPECT_EQ(w.Shape1.FillColor(), kLampGreen);
    EXPECT_EQ(w.bOpen.Caption(), u"Disconnect");
    EXPECT_EQ(w.tStatus.Caption(), u"Parmeters Received from Controller.");
    EXPECT_TRUE(w.bSave.Enabled());
}

TEST_F(WindowLogic, ExitWhileConnectedClosesThePortBeforeTheEnd) {
    Shown();
    w.bExit.RaiseClick();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(portOpenAtEnd);
    EXPECT_EQ(port.closes, 1);
    EXPECT_TRUE(w.Ended());
    const QStringList before = Snapshot(w);
    port.Deliver(Report(u"1,1,1,1,1,1", u"0,0,0"));
    EXPECT_EQ(Snapshot(w), before); // no handler after the end
    w.bExit.RaiseClick();
    EXPECT_EQ(ended, 1);
}

TEST_F(WindowLogic, ExitWhileDisconnectedEndsAtOnce) {
    Load();
    w.bExit.RaiseClick();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(port.calls.contains(QStringLiteral("Close")));
}

TEST_F(WindowLogic, DisabledButtonsRaiseNoClick) {
    Load();
    w.bSave.RaiseClick();
    w.bDef.RaiseClick();
    w.bTPS.RaiseClick();
    EXPECT_TRUE(port.written.isEmpty());
    EXPECT_EQ(w.bTPS.Caption(), u"TPS = Normal");
    EXPECT_EQ(w.tStatus.Caption(), u"");
}

} // namespace
} // namespace tuner
