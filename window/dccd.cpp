#include "window/dccd.h"

#include "link/number_text.h"
#include "link/protocol.h"
#include "link/tuning_parameters.h"
#include "window/branding.h"
#include "window/layout.h"

#include <array>
#include <utility>

namespace tuner {
namespace {

const ControlLayout &Design(const char16_t *name) {
    const ControlLayout *design = FindLayout(QString::fromUtf16(name));
    Q_ASSERT(design);
    return *design;
}

// What the user typed, cut to what the status line has room for.
QString Shortened(const QString &typed) {
    constexpr qsizetype kRoom = 10;
    return typed.size() <= kRoom ? typed : typed.left(kRoom - 1) + QChar(0x2026);
}

// A reason from the port as the end of a sentence: exactly one full stop.
QString Sentence(QString reason) {
    reason = reason.trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    if (reason.isEmpty())
        reason = QStringLiteral("unknown error");
    return reason + u'.';
}

} // namespace

DCCD::DCCD(SerialPortService &port, PortDirectory ports, QObject *parent)
    : QObject(parent), tLogo(Design(u"tLogo")), tTitle(Design(u"tTitle")),
      tCPort(Design(u"tCPort")), pCPort(Design(u"pCPort")), bOpen(Design(u"bOpen")),
      Shape1(Design(u"Shape1")), lAccel(Design(u"lAccel")), tAccel(Design(u"tAccel")),
      lMin(Design(u"lMin")), tMin(Design(u"tMin")), lDecel(Design(u"lDecel")),
      tDecel(Design(u"tDecel")), lMax(Design(u"lMax")), tMax(Design(u"tMax")),
      lTurn(Design(u"lTurn")), tTurn(Design(u"tTurn")), Label2(Design(u"Label2")),
      tLFB(Design(u"tLFB")), bCalG(Design(u"bCalG")), bTPS(Design(u"bTPS")),
      bEbrk(Design(u"bEbrk")), bDef(Design(u"bDef")), bSave(Design(u"bSave")),
      bExit(Design(u"bExit")), tStatus(Design(u"tStatus")), Label1(Design(u"Label1")),
      MSComm1(port), ports_(std::move(ports)) {
    controls_ = {&tLogo, &tTitle, &tCPort, &pCPort, &bOpen, &Shape1, &lAccel,  &tAccel, &lMin,
                 &tMin,  &lDecel, &tDecel, &lMax,   &tMax,  &lTurn,  &tTurn,   &Label2, &tLFB,
                 &bCalG, &bTPS,   &bEbrk,  &bDef,   &bSave, &bExit,  &tStatus, &Label1};

    bOpen.Click = [this] { bOpen_Click(); };
    bCalG.Click = [this] { bCalG_Click(); };
    bTPS.Click = [this] { bTPS_Click(); };
    bEbrk.Click = [this] { bEbrk_Click(); };
    bDef.Click = [this] { bDef_Click(); };
    bSave.Click = [this] { bSave_Click(); };
    bExit.Click = [this] { bExit_Click(); };
    tAccel.Change = [this] { tAccel_Change(); };
    tDecel.Change = [this] { tDecel_Change(); };
    tTurn.Change = [this] { tTurn_Change(); };
    tMax.Change = [this] { tMax_Change(); };
    tMin.Change = [this] { tMin_Change(); };
    tLFB.Change = [this] { tLFB_Change(); };

    connect(&MSComm1, &SerialPortService::OnComm, this, &DCCD::MSComm1_OnComm);
    connect(&MSComm1, &SerialPortService::LineLost, this, &DCCD::MSComm1_LineLost);
}

DCCD::~DCCD() = default;

QString DCCD::Caption() const {
    return branding::TitleBar();
}

Control *DCCD::FindControl(const QString &name) const {
    for (Control *control : controls_) {
        if (control->Name() == name)
            return control;
    }
    return nullptr;
}

void DCCD::Form_Load() {
    tStatus.SetCaption(QString());
    Shape1.SetFillColor(kLampRed);
    bOpen.SetEnabled(false);
    GSensorCalibrate = false;
    const comfunct::PortScan scan = ports_.scan ? ports_.scan() : comfunct::PortScan{};
    for (const QString &number : scan.numbers)
        pCPort.AddItem(number);
    pCPort.SetText(QString::number(scan.defaultPort));
    bOpen.SetEnabled(true);
}

void DCCD::bOpen_Click() {
    if (MSComm1.PortOpen())
        Disconnect();
    else
        Connect();
}

void DCCD::Connect() {
    const QString typed = pCPort.Text().trimmed();
    if (typed.isEmpty()) {
        tStatus.SetCaption(QStringLiteral("Cannot open port: no port number given."));
        return;
    }
    // A text without a number would be port 0: the user is told what they typed instead.
    if (!HasLeadingNumber(typed)) {
        tStatus.SetCaption(QStringLiteral("Cannot open port \"") + Shortened(typed) +
                           QStringLiteral("\": not a port number."));
        return;
    }
    const std::optional<qint16> port = PortNumber(typed);
    if (!port) {
        tStatus.SetCaption(QStringLiteral("Cannot open port ") + Shortened(typed) +
                           QStringLiteral(": no such port number."));
        return;
    }
    MSComm1.SetCommPort(*port);
    MSComm1.SetSettings(kLineSettings);
    MSComm1.SetInputLen(0);
    MSComm1.SetRThreshold(kReceiveThreshold);
    if (!MSComm1.SetPortOpen(true)) {
        // Nothing has changed yet: the window stays as it was and says why. The status line
        // names a long device by its short form; its tooltip has the whole path.
        const QString reason = QStringLiteral(": ") + Sentence(MSComm1.LastError());
        ShowStatus(QStringLiteral("Cannot open port ") + PortName(*port, true) + reason,
                   QStringLiteral("Cannot open port ") + PortName(*port, false) + reason);
        return;
    }
    Shape1.SetFillColor(kLampYellow);
    bOpen.SetCaption(QStringLiteral("Disconnect"));
    SetEditingEnabled(false);
    tStatus.SetCaption(QStringLiteral("Waiting for DCCD to respond... check your com port!"));
    saveIsLastOutput_ = false;
    if (!MSComm1.Output(ReadRequest()))
        tStatus.SetCaption(QStringLiteral("Read request failed: ") + Sentence(MSComm1.LastError()));
}

void DCCD::Disconnect() {
    MSComm1.SetPortOpen(false);
    // Output that the close had to drop is the queue's tail, so it holds the last record
    // written: when that was a save, the user was told of a success that never happened.
    const bool saveDropped = saveIsLastOutput_ && !MSComm1.LastError().isEmpty();
    saveIsLastOutput_ = false;
    ShowDisconnected();
    tStatus.SetCaption(saveDropped
                           ? QStringLiteral("Disconnected. The last save did not reach the line.")
                           : QStringLiteral("Disconnected."));
}

void DCCD::MSComm1_LineLost() {
    // The notice comes through the event queue: a port opened again meanwhile is not lost.
    if (ended_ || MSComm1.PortOpen())
        return;
    ShowDisconnected();
    tStatus.SetCaption(QStringLiteral("Connection lost: ") + Sentence(MSComm1.LastError()));
}

void DCCD::ShowDisconnected() {
    Shape1.SetFillColor(kLampRed);
    bOpen.SetCaption(QStringLiteral("Connect"));
    SetEditingEnabled(false);
}

// The enabled states of Connect and Disconnect, in their order; bExit is always on.
void DCCD::SetEditingEnabled(bool enabled) {
    bSave.SetEnabled(enabled);
    bExit.SetEnabled(true);
    bTPS.SetEnabled(enabled);
    bEbrk.SetEnabled(enabled);
    bCalG.SetEnabled(enabled);
    bDef.SetEnabled(enabled);
    tAccel.SetEnabled(enabled);
    tDecel.SetEnabled(enabled);
    tMin.SetEnabled(enabled);
    tMax.SetEnabled(enabled);
    tLFB.SetEnabled(enabled);
    tTurn.SetEnabled(enabled);
}

QString DCCD::PortName(qint16 port, bool shortDevice) const {
    const QString device = ports_.devicePath ? ports_.devicePath(port) : QString();
    if (device.isEmpty())
        return QString::number(port);
    return QString::number(port) + QStringLiteral(" (") +
           (shortDevice ? comfunct::ShortDeviceName(device) : device) + u')';
}

void DCCD::ShowStatus(const QString &caption, const QString &toolTip) {
    statusToolTip_ = {caption, toolTip};
    tStatus.SetCaption(caption);
}

QString DCCD::StatusToolTip() const {
    if (tStatus.Caption() == statusToolTip_.first && !statusToolTip_.second.isEmpty())
        return statusToolTip_.second;
    return tStatus.Caption();
}

void DCCD::MSComm1_OnComm() {
    if (ended_ || MSComm1.CommEvent() != comEvReceive)
        return;
    ReceiveBuffer = MSComm1.Input();
    HandleInput(ReceiveBuffer);
}

void DCCD::HandleInput(const QString &dRecv) {
    const std::optional<TuningParameters> report = ParseReport(dRecv);
    if (!report)
        return; // not a full report: nothing changes
    Accel = report->Accel;
    Decel = report->Decel;
    Turn = report->Turn;
    MaxOut = report->MaxOut;
    MinOut = report->MinOut;
    LfbThreshold = report->LfbThreshold;
    TpsReverse = report->TpsReverse;
    EbrakeCutOff = report->EbrakeCutOff;
    GSensorCalibrate = report->GSensorCalibrate;

    tAccel.SetText(DisplayForm(Accel));
    tDecel.SetText(DisplayForm(Decel));
    tTurn.SetText(DisplayForm(Turn));
    tMax.SetText(DisplayForm(MaxOut));
    tMin.SetText(DisplayForm(MinOut));
    tLFB.SetText(DisplayForm(LfbThreshold));
    bTPS.SetCaption(TpsReverse ? QStringLiteral("TPS = Reverse") : QStringLiteral("TPS = Normal"));
    bEbrk.SetCaption(EbrakeCutOff ? QStringLiteral("Ebrake Cut = Off")
                                  : QStringLiteral("Ebrake Cut = On"));
    Shape1.SetFillColor(kLampGreen);
    for (Control *control : {&bSave, &bExit, &bTPS, &bEbrk, &bCalG, &bDef, &tAccel, &tDecel, &tMin,
                             &tMax, &tLFB, &tTurn})
        control->SetEnabled(true);
    tStatus.SetCaption(QStringLiteral("Parmeters Received from Controller."));
    reportShown_ = true;
    if (ReportShown)
        ReportShown();
}

QString DCCD::BoxHint(const Control &control) const {
    // The boxes and the values they came from, in wire order, the order of kUpperLimits.
    const std::array<std::pair<const Control *, float>, kPercentCount> boxes = {
        {{&tAccel, Accel},
         {&tDecel, Decel},
         {&tTurn, Turn},
         {&tMax, MaxOut},
         {&tMin, MinOut},
         {&tLFB, LfbThreshold}}};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].first != &control)
            continue;
        QString hint = QStringLiteral("0 to %1 %").arg(kUpperLimits[i]);
        if (reportShown_)
            hint += QStringLiteral("; the controller holds ") + DisplayForm(boxes[i].second);
        return hint;
    }
    return {};
}

void DCCD::bCalG_Click() {
    bCalG.SetEnabled(false);
    GSensorCalibrate = true;
    tStatus.SetCaption(QStringLiteral("G-Sensor changed, save required."));
}

void DCCD::bTPS_Click() {
    if (bTPS.Caption() == u"TPS = Normal") {
        bTPS.SetCaption(QStringLiteral("TPS = Reverse"));
        TpsReverse = true;
    } else {
        bTPS.SetCaption(QStringLiteral("TPS = Normal"));
        TpsReverse = false;
    }
    tStatus.SetCaption(QStringLiteral("TPS Changed, save required."));
}

void DCCD::bEbrk_Click() {
    if (bEbrk.Caption() == u"Ebrake Cut = On") {
        bEbrk.SetCaption(QStringLiteral("Ebrake Cut = Off"));
        EbrakeCutOff = true;
    } else {
        bEbrk.SetCaption(QStringLiteral("Ebrake Cut = On"));
        EbrakeCutOff = false;
    }
    tStatus.SetCaption(QStringLiteral("Ebrake Changed, save required."));
}

void DCCD::bDef_Click() {
    const std::array<Control *, kPercentCount> boxes = {&tAccel, &tDecel, &tTurn,
                                                        &tMax,   &tMin,   &tLFB};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->SetText(QString::fromUtf16(kDefaultTexts[i]));
    TpsReverse = false;
    bTPS.SetCaption(QStringLiteral("TPS = Normal"));
    EbrakeCutOff = false;
    bEbrk.SetCaption(QStringLiteral("Ebrake Cut = On"));
    GSensorCalibrate = false;
    tStatus.SetCaption(QStringLiteral("Default loaded, save required."));
}

void DCCD::bSave_Click() {
    const std::array<Control *, kPercentCount> boxes = {&tAccel, &tDecel, &tTurn,
                                                        &tMax,   &tMin,   &tLFB};
    const std::array<Control *, kPercentCount> labels = {&lAccel, &lDecel, &lTurn,
                                                         &lMax,   &lMin,   &Label2};
    // Every box must hold a number before anything is clamped or sent.
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!ReadNumber(boxes[i]->Text())) {
            SetFocus(*boxes[i]);
            tStatus.SetCaption(QStringLiteral("Not saved: ") + labels[i]->Caption() +
                               QStringLiteral(" is not a number."));
            return;
        }
    }

    std::array<QString, kPercentCount> texts;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        Control &box = *boxes[i];
        const int upper = kUpperLimits[i];
        if (ReadNumber(box.Text()).value_or(0) > upper)
            box.SetText(QString::number(upper));
        if (ReadNumber(box.Text()).value_or(0) < 0)
            box.SetText(QStringLiteral("0"));
        texts[i] = box.Text();
    }

    const std::optional<QString> record =
        SaveCommand(texts, TpsReverse, EbrakeCutOff, GSensorCalibrate);
    if (!record) {
        tStatus.SetCaption(QStringLiteral("Save failed: a value is not a number."));
        return;
    }
    if (!MSComm1.Output(*record)) {
        tStatus.SetCaption(QStringLiteral("Save failed: ") + Sentence(MSComm1.LastError()));
        return;
    }
    saveIsLastOutput_ = true;
    tStatus.SetCaption(QStringLiteral("Save was successful!"));
}

void DCCD::bExit_Click() {
    if (ended_)
        return;
    if (MSComm1.PortOpen())
        MSComm1.SetPortOpen(false);
    ended_ = true;
    if (EndProgram)
        EndProgram();
}

void DCCD::tAccel_Change() {
    tStatus.SetCaption(QStringLiteral("Accel Changed, save required."));
}

void DCCD::tDecel_Change() {
    tStatus.SetCaption(QStringLiteral("Decel Changed, save required."));
}

void DCCD::tTurn_Change() {
    tStatus.SetCaption(QStringLiteral("Turning Changed, save required."));
}

void DCCD::tMax_Change() {
    tStatus.SetCaption(QStringLiteral("Maximum Changed, save required."));
}

void DCCD::tMin_Change() {
    tStatus.SetCaption(QStringLiteral("Minimum Changed, save required."));
}

void DCCD::tLFB_Change() {
    tStatus.SetCaption(QStringLiteral("LFB Threshold Changed, save required."));
}

void DCCD::SetFocus(Control &control) {
    if (FocusRequested)
        FocusRequested(control);
}

} // namespace tuner
