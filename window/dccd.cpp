#include "window/dccd.h"

#include "link/exchange/controller_connection.h"
#include "link/exchange/port_messages.h"
#include "link/ports/port_number.h"
#include "link/protocol/records.h"
#include "link/serial/failure_reasons.h"
#include "link/settings/number_forms.h"
#include "link/settings/number_text.h"
#include "link/settings/parameter_set.h"
#include "window/branding.h"
#include "window/layout.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tuner {
namespace {

const QString kSaveDidNotReachTheLine = QStringLiteral("The last save did not reach the line.");

// What the user typed, cut to what the status line has room for.
QString Shortened(const QString &typed) {
    constexpr qsizetype kRoom = 10;
    return typed.size() <= kRoom ? typed : typed.left(kRoom - 1) + QChar(0x2026);
}

// A port's hint in the open list: its device and what the system knows of it, a line each.
QString PortInfoHint(const comfunct::PortInfo &port) {
    QStringList lines{port.device};
    if (!port.description.isEmpty())
        lines.append(port.description);
    if (!port.manufacturer.isEmpty())
        lines.append(port.manufacturer);
    if (!port.serialNumber.isEmpty())
        lines.append(QStringLiteral("Serial number ") + port.serialNumber);
    return lines.join(u'\n');
}

} // namespace

// Every control of the window and the member that holds it. Each member is built from its
// entry in the layout, which alone says what the control is and how it starts.
struct NamedControl {
    QStringView name;
    Control DCCD::*member;
};

// clang-format off
const NamedControl kNamedControls[] = {
    {u"tLogo", &DCCD::tLogo},     {u"tTitle", &DCCD::tTitle},   {u"tCPort", &DCCD::tCPort},
    {u"pCPort", &DCCD::pCPort},   {u"bOpen", &DCCD::bOpen},     {u"Shape1", &DCCD::Shape1},
    {u"lAccel", &DCCD::lAccel},   {u"tAccel", &DCCD::tAccel},   {u"lMin", &DCCD::lMin},
    {u"tMin", &DCCD::tMin},       {u"lDecel", &DCCD::lDecel},   {u"tDecel", &DCCD::tDecel},
    {u"lMax", &DCCD::lMax},       {u"tMax", &DCCD::tMax},       {u"lTurn", &DCCD::lTurn},
    {u"tTurn", &DCCD::tTurn},     {u"Label2", &DCCD::Label2},   {u"tLFB", &DCCD::tLFB},
    {u"bCalG", &DCCD::bCalG},     {u"bTPS", &DCCD::bTPS},       {u"bEbrk", &DCCD::bEbrk},
    {u"bDef", &DCCD::bDef},       {u"bSave", &DCCD::bSave},     {u"bExit", &DCCD::bExit},
    {u"tStatus", &DCCD::tStatus}, {u"Label1", &DCCD::Label1},
};
// clang-format on

DCCD::DCCD(SerialPortService &port, PortDirectory ports, QObject *parent)
    : QObject(parent), MSComm1(port), m_ports(std::move(ports)) {
    for (const ControlLayout &design : WindowLayout()) {
        const auto named =
            std::find_if(std::cbegin(kNamedControls), std::cend(kNamedControls),
                         [&](const NamedControl &entry) { return entry.name == design.name; });
        if (named == std::cend(kNamedControls))
            qFatal("the window has no member for the designed control %s", qPrintable(design.name));
        Control &control = this->*named->member;
        control.Design(design.name, design.kind, design.caption, design.startsEnabled);
        m_controls.append(&control);
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

    // One handler per handled event, each control to its own.
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
    SetKnown(Known::Nothing); // the boxes tell their ranges from the start
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
    ShowStatus(QString());
    Shape1.SetFillColor(kLampRed);
    bOpen.SetEnabled(false);
    GSensorCalibrate = false;
    const comfunct::PortScan scan = m_ports.scan ? m_ports.scan() : comfunct::PortScan{};
    for (const QString &number : scan.numbers)
        pCPort.AddItem(number);
    pCPort.SetText(QString::number(scan.defaultPort));
    pCPort.SetHint(UnlistedPortsHint(scan.unlisted));
    bOpen.SetEnabled(true);
}

void DCCD::pCPort_DropDown() {
    const QStringList numbers = m_ports.scan ? m_ports.scan().numbers : QStringList();
    // Asking the system about its ports walks all of sysfs: done when the user opens the list,
    // not while the window starts.
    const QList<comfunct::PortInfo> table =
        m_ports.describe ? m_ports.describe() : QList<comfunct::PortInfo>();
    QStringList hints;
    for (const QString &number : numbers) {
        const auto info = std::find_if(table.cbegin(), table.cend(), [&](const auto &port) {
            return QString::number(port.number) == number;
        });
        hints.append(info == table.cend() ? QString() : PortInfoHint(*info));
    }
    pCPort.SetItems(numbers, hints);
}

QString DCCD::UnlistedPortsHint(const QList<qint16> &unlisted) const {
    QStringList lines;
    for (const qint16 n : unlisted) {
        const QString device = m_ports.devicePath ? m_ports.devicePath(n) : QString();
        lines.append(QStringLiteral("%1 exists: type %2").arg(device).arg(n));
    }
    return lines.join(u'\n');
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
        ShowStatus(QStringLiteral("Cannot open port: no port number given."));
        return;
    }
    // A text without a number would be port 0: the user is told what they typed instead.
    if (!HasLeadingNumber(typed)) {
        ShowStatus(CannotOpenMessage(u'"' + Shortened(typed) + u'"', NotAPortNumberReason(typed)));
        return;
    }
    const std::optional<qint16> port = PortNumber(typed);
    if (!port) {
        ShowStatus(CannotOpenMessage(Shortened(typed), OutsidePortNumbers()));
        return;
    }
    if (!OpenControllerPort(MSComm1, *port)) {
        // Nothing has changed yet: the window stays as it was and says why. The status line
        // names a long device by its short form; its tooltip has the whole path.
        const QString reason = MSComm1.LastError();
        ShowStatus(
            CannotOpenMessage(PortWithDevice(*port, m_ports.devicePath, DeviceForm::Short), reason),
            CannotOpenMessage(PortWithDevice(*port, m_ports.devicePath), reason));
        return;
    }
    Shape1.SetFillColor(kLampYellow);
    bOpen.SetCaption(QStringLiteral("Disconnect"));
    SetEditingEnabled(false);
    ShowStatus(WaitingMessage());
    m_saveIsLastOutput = false;
    m_lastSave.clear();
    // Nothing is known of what this controller holds until it reports.
    SetKnown(Known::Nothing);
    if (!MSComm1.Output(ReadRequest()))
        ShowStatus(ReadRequestFailedMessage(MSComm1.LastError()));
}

// Output that a close or a lost line had to drop is the queue's tail, so it holds the last
// record written: when that was a save, the user was told of a success that never happened.
bool DCCD::LastSaveDropped() const {
    return m_saveIsLastOutput && MSComm1.OutputDropped();
}

void DCCD::SetKnown(Known known) {
    m_known = known;
    for (const PercentControls &percent : std::as_const(m_percents))
        percent.box->SetHint(BoxHint(percent));
}

void DCCD::Disconnect() {
    MSComm1.SetPortOpen(false);
    const bool saveDropped = LastSaveDropped();
    m_saveIsLastOutput = false;
    ShowDisconnected();
    ShowStatus(saveDropped ? QStringLiteral("Disconnected. ") + kSaveDidNotReachTheLine
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
        ShowStatus(lost);
}

void DCCD::ShowDisconnected() {
    Shape1.SetFillColor(kLampRed);
    bOpen.SetCaption(FindLayout(bOpen.Name())->caption); // as designed: "Connect"
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

void DCCD::ShowStatus(const QString &caption, const QString &whole) {
    tStatus.SetCaption(caption);
    tStatus.SetHint(whole == caption ? QString() : whole);
}

QString DCCD::StatusToolTip() const {
    return tStatus.Hint().isEmpty() ? tStatus.Caption() : tStatus.Hint();
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
    const std::optional<TuningParameters> report =
        ReportIn(dRecv, OwnSaveTest(OwnSaves::LastSent, m_lastSave));
    if (!report)
        return; // not a full report: nothing changes
    static_cast<TuningParameters &>(*this) = *report;

    for (const PercentControls &percent : std::as_const(m_percentsInWireOrder))
        percent.box->SetText(DisplayForm(this->*percent.field->value));
    for (const SwitchControls &flag : std::as_const(m_switches))
        flag.button->SetCaption(SwitchCaption(*flag.field, this->*flag.field->value));
    Shape1.SetFillColor(kLampGreen);
    SetEditingEnabled(true);
    ShowStatus(QStringLiteral("Parmeters Received from Controller."));
    SetKnown(Known::Reported);
}

QString DCCD::BoxHint(const PercentControls &percent) const {
    const QString range = QStringLiteral("0 to %1 %").arg(percent.field->upperLimit);
    switch (m_known) {
    case Known::Reported:
        return range + QStringLiteral("; the controller holds ") +
               DisplayForm(this->*percent.field->value);
    case Known::Sent:
        return range + QStringLiteral("; ") +
               DisplayForm(static_cast<float>(
                   m_sent[static_cast<std::size_t>(percent.field->wireField - 1)])) +
               QStringLiteral(" sent, not read back");
    case Known::Nothing:
        break;
    }
    return range;
}

void DCCD::bCalG_Click() {
    bCalG.SetEnabled(false);
    GSensorCalibrate = true;
    ShowStatus(QStringLiteral("G-Sensor changed, save required."));
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
    ShowStatus(ChangeNotice(flag->field->noticeWord));
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
    ShowStatus(QStringLiteral("Default loaded, save required."));
}

void DCCD::bSave_Click() {
    // Each box is read once: every one must hold a number before anything is clamped or sent.
    std::array<double, kPercentCount> values{};
    for (qsizetype i = 0; i < m_percentsInWireOrder.size(); ++i) {
        const PercentControls &percent = m_percentsInWireOrder.at(i);
        const std::optional<double> value = ReadNumber(percent.box->Text());
        if (!value) {
            Q_EMIT FocusRequested(percent.box);
            ShowStatus(QStringLiteral("Not saved: ") + percent.label->Caption() +
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
        ShowStatus(SaveFailedMessage(MSComm1.LastError()));
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
    ShowStatus(QStringLiteral("Save was successful!"));
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
            ShowStatus(m_closingNotice);
        }
    }
    m_ended = true;
    Q_EMIT ProgramEnds();
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
        ShowStatus(ChangeNotice(percent->field->noticeWord));
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

} // namespace tuner
