#include "window/dccd.h"

#include "link/number_text.h"
#include "link/port_messages.h"
#include "link/protocol.h"
#include "link/tuning_parameters.h"
#include "window/branding.h"
#include "window/layout.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tuner {
namespace {

const ControlLayout &Design(const char16_t *name) {
    const ControlLayout *design = FindLayout(QString::fromUtf16(name));
    Q_ASSERT(design);
    return *design;
}

const QString kSaveDidNotReachTheLine = QStringLiteral("The last save did not reach the line.");

// What the user typed, cut to what the status line has room for.
QString Shortened(const QString &typed) {
    constexpr qsizetype kRoom = 10;
    return typed.size() <= kRoom ? typed : typed.left(kRoom - 1) + QChar(0x2026);
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
      MSComm1(port), m_ports(std::move(ports)) {
    const QList<Control *> named = {&tLogo,  &tTitle, &tCPort, &pCPort,  &bOpen,  &Shape1, &lAccel,
                                    &tAccel, &lMin,   &tMin,   &lDecel,  &tDecel, &lMax,   &tMax,
                                    &lTurn,  &tTurn,  &Label2, &tLFB,    &bCalG,  &bTPS,   &bEbrk,
                                    &bDef,   &bSave,  &bExit,  &tStatus, &Label1};
    // Every control in layout order; one the layout adds without a name here is kept all the same.
    for (const ControlLayout &design : WindowLayout()) {
        const auto found = std::find_if(named.cbegin(), named.cend(),
                                        [&](const Control *c) { return c->Name() == design.name; });
        m_controls.append(found != named.cend() ? *found : &m_moreControls.emplace_back(design));
    }

    for (const PercentBox &entry : PercentBoxes()) {
        PercentControls percent{FindControl(entry.box.toString()),
                                FindControl(entry.label.toString()), FindPercent(entry.parameter)};
        Q_ASSERT(percent.box && percent.label && percent.field);
        m_percents.append(percent);
    }
    m_percentsInWireOrder = m_percents;
    std::sort(m_percentsInWireOrder.begin(), m_percentsInWireOrder.end(),
              [](const PercentControls &a, const PercentControls &b) {
                  return a.field->wireField < b.field->wireField;
              });
    for (const SwitchButton &entry : SwitchButtons()) {
        SwitchControls flag{FindControl(entry.button.toString()), FindSwitch(entry.parameter)};
        Q_ASSERT(flag.button && flag.field);
        m_switches.append(flag);
    }

    bOpen.Click = [this] { bOpen_Click(); };
    bCalG.Click = [this] { bCalG_Click(); };
    bDef.Click = [this] { bDef_Click(); };
    bSave.Click = [this] { bSave_Click(); };
    bExit.Click = [this] { bExit_Click(); };
    for (const SwitchControls &flag : std::as_const(m_switches))
        flag.button->Click = [this, button = flag.button] { Toggle(*button); };
    for (const PercentControls &percent : std::as_const(m_percents))
        percent.box->Change = [this, box = percent.box] { PercentChanged(*box); };

    connect(&MSComm1, &SerialPortService::OnComm, this, &DCCD::MSComm1_OnComm);
    connect(&MSComm1, &SerialPortService::LineLost, this, &DCCD::MSComm1_LineLost);
}

DCCD::~DCCD() = default;

QString DCCD::Caption() const {
    return branding::TitleBar();
}

Control *DCCD::FindControl(const QString &name) const {
    for (Control *control : m_controls) {
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
    const comfunct::PortScan scan = m_ports.scan ? m_ports.scan() : comfunct::PortScan{};
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
        tStatus.SetCaption(CannotOpenMessage(u'"' + Shortened(typed) + u'"',
                                             QStringLiteral("not a port number.")));
        return;
    }
    const std::optional<qint16> port = PortNumber(typed);
    if (!port) {
        tStatus.SetCaption(
            CannotOpenMessage(Shortened(typed), QStringLiteral("no such port number.")));
        return;
    }
    if (!OpenControllerPort(MSComm1, *port)) {
        // Nothing has changed yet: the window stays as it was and says why. The status line
        // names a long device by its short form; its tooltip has the whole path.
        const QString reason = MSComm1.LastError();
        ShowStatus(CannotOpenMessage(PortName(*port, true), reason),
                   CannotOpenMessage(PortName(*port, false), reason));
        return;
    }
    Shape1.SetFillColor(kLampYellow);
    bOpen.SetCaption(QStringLiteral("Disconnect"));
    SetEditingEnabled(false);
    tStatus.SetCaption(WaitingMessage());
    m_saveIsLastOutput = false;
    m_lastSave.clear();
    // Nothing is known of what this controller holds until it reports.
    SetKnown(Known::Nothing);
    if (!MSComm1.Output(ReadRequest()))
        tStatus.SetCaption(ReadRequestFailedMessage(MSComm1.LastError()));
}

// Output that a close or a lost line had to drop is the queue's tail, so it holds the last
// record written: when that was a save, the user was told of a success that never happened.
bool DCCD::LastSaveDropped() const {
    return m_saveIsLastOutput && MSComm1.OutputDropped();
}

void DCCD::SetKnown(Known known) {
    m_known = known;
    if (HintsChanged)
        HintsChanged();
}

void DCCD::Disconnect() {
    MSComm1.SetPortOpen(false);
    const bool saveDropped = LastSaveDropped();
    m_saveIsLastOutput = false;
    ShowDisconnected();
    tStatus.SetCaption(saveDropped ? QStringLiteral("Disconnected. ") + kSaveDidNotReachTheLine
                                   : QStringLiteral("Disconnected."));
}

void DCCD::MSComm1_LineLost() {
    // The notice comes through the event queue: a port opened again meanwhile is not lost.
    if (m_ended || MSComm1.PortOpen())
        return;
    const bool saveDropped = LastSaveDropped();
    m_saveIsLastOutput = false;
    ShowDisconnected();
    SetKnown(Known::Nothing);
    const QString lost = ConnectionLostMessage(MSComm1.LastError());
    if (saveDropped)
        ShowStatus(QStringLiteral("Connection lost. ") + kSaveDidNotReachTheLine,
                   lost + u' ' + kSaveDidNotReachTheLine);
    else
        tStatus.SetCaption(lost);
}

void DCCD::ShowDisconnected() {
    Shape1.SetFillColor(kLampRed);
    bOpen.SetCaption(Design(u"bOpen").caption); // as designed: "Connect"
    SetEditingEnabled(false);
}

// The enabled states of the editing controls, in their order; bExit is always on.
void DCCD::SetEditingEnabled(bool enabled) {
    bSave.SetEnabled(enabled);
    bExit.SetEnabled(true);
    for (const SwitchControls &flag : std::as_const(m_switches))
        flag.button->SetEnabled(enabled);
    bCalG.SetEnabled(enabled);
    bDef.SetEnabled(enabled);
    for (const PercentControls &percent : std::as_const(m_percents))
        percent.box->SetEnabled(enabled);
}

QString DCCD::PortName(qint16 port, bool shortDevice) const {
    const QString device = m_ports.devicePath ? m_ports.devicePath(port) : QString();
    return PortWithDevice(port, shortDevice && !device.isEmpty() ? comfunct::ShortDeviceName(device)
                                                                 : device);
}

void DCCD::ShowStatus(const QString &caption, const QString &toolTip) {
    m_statusToolTip = {caption, toolTip};
    tStatus.SetCaption(caption);
}

QString DCCD::StatusToolTip() const {
    if (tStatus.Caption() == m_statusToolTip.first && !m_statusToolTip.second.isEmpty())
        return m_statusToolTip.second;
    return tStatus.Caption();
}

void DCCD::MSComm1_OnComm() {
    if (m_ended || MSComm1.CommEvent() != comEvReceive)
        return;
    ReceiveBuffer = MSComm1.Input();
    HandleInput(ReceiveBuffer);
}

void DCCD::HandleInput(const QString &dRecv) {
    // The text is the controller's report; when it holds more than one record, the last report
    // among them is. The save just sent, coming back from a line that echoes, is none.
    const std::optional<TuningParameters> report = ReportIn(dRecv, [this](QStringView record) {
        return !m_lastSave.isEmpty() && record.trimmed() == QStringView(m_lastSave).trimmed();
    });
    if (!report)
        return; // not a full report: nothing changes
    static_cast<TuningParameters &>(*this) = *report;

    for (const PercentControls &percent : std::as_const(m_percentsInWireOrder))
        percent.box->SetText(DisplayForm(this->*percent.field->value));
    for (const SwitchControls &flag : std::as_const(m_switches))
        flag.button->SetCaption(SwitchCaption(*flag.field, this->*flag.field->value));
    Shape1.SetFillColor(kLampGreen);
    SetEditingEnabled(true);
    tStatus.SetCaption(QStringLiteral("Parmeters Received from Controller."));
    SetKnown(Known::Reported);
}

QString DCCD::BoxHint(const Control &control) const {
    const PercentControls *percent = PercentOf(control);
    if (!percent)
        return {};
    const QString range = QStringLiteral("0 to %1 %").arg(percent->field->upperLimit);
    switch (m_known) {
    case Known::Reported:
        return range + QStringLiteral("; the controller holds ") +
               DisplayForm(this->*percent->field->value);
    case Known::Sent:
        return range + QStringLiteral("; ") +
               DisplayForm(static_cast<float>(
                   m_sent[static_cast<std::size_t>(percent->field->wireField - 1)])) +
               QStringLiteral(" sent, not read back");
    case Known::Nothing:
        break;
    }
    return range;
}

void DCCD::bCalG_Click() {
    bCalG.SetEnabled(false);
    GSensorCalibrate = true;
    tStatus.SetCaption(QStringLiteral("G-Sensor changed, save required."));
}

void DCCD::bTPS_Click() {
    Toggle(bTPS);
}

void DCCD::bEbrk_Click() {
    Toggle(bEbrk);
}

// A switch button flips its switch as its own caption says: caption first, then the switch,
// then the notice.
void DCCD::Toggle(const Control &button) {
    const SwitchControls *flag = SwitchOf(button);
    if (!flag)
        return;
    const bool on = flag->button->Caption() == flag->field->offCaption;
    flag->button->SetCaption(SwitchCaption(*flag->field, on));
    this->*flag->field->value = on;
    tStatus.SetCaption(ChangeNotice(flag->field->noticeWord));
}

void DCCD::bDef_Click() {
    for (const PercentControls &percent : std::as_const(m_percentsInWireOrder))
        percent.box->SetText(percent.field->defaultText.toString());
    for (const SwitchField &field : kSwitches) {
        this->*field.value = false;
        for (const SwitchControls &flag : std::as_const(m_switches)) {
            if (flag.field == &field)
                flag.button->SetCaption(SwitchCaption(field, false));
        }
    }
    tStatus.SetCaption(QStringLiteral("Default loaded, save required."));
}

void DCCD::bSave_Click() {
    // Each box is read once: every one must hold a number before anything is clamped or sent.
    std::array<double, kPercentCount> values{};
    for (qsizetype i = 0; i < m_percentsInWireOrder.size(); ++i) {
        const PercentControls &percent = m_percentsInWireOrder.at(i);
        const std::optional<double> value = ReadNumber(percent.box->Text());
        if (!value) {
            SetFocus(*percent.box);
            tStatus.SetCaption(QStringLiteral("Not saved: ") + percent.label->Caption() +
                               QStringLiteral(" is not a number."));
            return;
        }
        values[static_cast<std::size_t>(i)] = *value;
    }

    // Clamped into 0 .. the upper limit; a clamped box shows its limit.
    for (qsizetype i = 0; i < m_percentsInWireOrder.size(); ++i) {
        const PercentControls &percent = m_percentsInWireOrder.at(i);
        double &value = values[static_cast<std::size_t>(i)];
        const int upper = percent.field->upperLimit;
        if (value > upper) {
            value = upper;
            percent.box->SetText(QString::number(upper));
        } else if (value < 0) {
            value = 0;
            percent.box->SetText(QStringLiteral("0"));
        }
    }

    const QString record = SaveCommand(values, *this);
    if (!MSComm1.Output(record)) {
        tStatus.SetCaption(SaveFailedMessage(MSComm1.LastError()));
        return;
    }
    m_saveIsLastOutput = true;
    m_lastSave = record;
    for (qsizetype i = 0; i < m_percentsInWireOrder.size(); ++i) {
        const auto place =
            static_cast<std::size_t>(m_percentsInWireOrder.at(i).field->wireField - 1);
        m_sent[place] = values[static_cast<std::size_t>(i)];
    }
    SetKnown(Known::Sent);
    tStatus.SetCaption(QStringLiteral("Save was successful!"));
}

void DCCD::bExit_Click() {
    if (m_ended)
        return;
    if (MSComm1.PortOpen()) {
        MSComm1.SetPortOpen(false);
        // The window goes at once: the status line says it while it is still there, and the
        // program says it once more as it ends.
        if (LastSaveDropped()) {
            m_closingNotice = kSaveDidNotReachTheLine;
            tStatus.SetCaption(m_closingNotice);
        }
    }
    m_ended = true;
    if (EndProgram)
        EndProgram();
}

void DCCD::tAccel_Change() {
    PercentChanged(tAccel);
}

void DCCD::tDecel_Change() {
    PercentChanged(tDecel);
}

void DCCD::tTurn_Change() {
    PercentChanged(tTurn);
}

void DCCD::tMax_Change() {
    PercentChanged(tMax);
}

void DCCD::tMin_Change() {
    PercentChanged(tMin);
}

void DCCD::tLFB_Change() {
    PercentChanged(tLFB);
}

void DCCD::PercentChanged(const Control &box) {
    if (const PercentControls *percent = PercentOf(box))
        tStatus.SetCaption(ChangeNotice(percent->field->noticeWord));
}

const DCCD::PercentControls *DCCD::PercentOf(const Control &box) const {
    for (const PercentControls &percent : m_percents) {
        if (percent.box == &box)
            return &percent;
    }
    return nullptr;
}

const DCCD::SwitchControls *DCCD::SwitchOf(const Control &button) const {
    for (const SwitchControls &flag : m_switches) {
        if (flag.button == &button)
            return &flag;
    }
    return nullptr;
}

void DCCD::SetFocus(Control &control) {
    if (FocusRequested)
        FocusRequested(control);
}

} // namespace tuner
