#pragma once

#include "link/ports/comfunct.h"
#include "link/serial/serial_port_service.h"
#include "link/settings/parameter_set.h"
#include "window/control.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>

namespace tuner {

// Lamp colours, packed 0x00BBGGRR.
inline constexpr qint32 kLampRed = 255;
inline constexpr qint32 kLampYellow = 65535;
inline constexpr qint32 kLampGreen = 65280;

// What the window needs to know about the machine's serial ports.
struct PortDirectory {
    // The existing ports 1 to 16, the one to preselect and the existing ones above 16.
    std::function<comfunct::PortScan()> scan;
    // The device behind a port number, "" when it has none.
    std::function<QString(qint16)> devicePath;
    // Ports 1 to 16 with what the system knows of each (for the port list's tooltips); asking
    // may take a while. Empty: the list shows no tooltips.
    std::function<QList<comfunct::PortInfo>()> describe = {};
    // What the system knows of one port (for a connection check).
    std::function<comfunct::PortInfo(qint16)> describePort = {};
};

// The tuning window: its controls by name, the serial port MSComm1, the controller's settings
// as last reported (the TuningParameters it is) and the text of the last receive event. Every
// handler works on the control model only; an adapter shows it.
class DCCD : public QObject, public TuningParameters {
    Q_OBJECT

public:
    DCCD(SerialPortService &port, PortDirectory ports, QObject *parent = nullptr);
    ~DCCD() override;

    // clang-format off
    Control tLogo, tTitle, tCPort, pCPort, bOpen, Shape1,
            lAccel, tAccel, lMin, tMin, lDecel, tDecel, lMax, tMax, lTurn, tTurn, Label2, tLFB,
            bCalG, bTPS, bEbrk, bDef, bSave, bExit, tStatus, Label1;
    // clang-format on

    SerialPortService &MSComm1;

    QString ReceiveBuffer;

    // The title bar text.
    QString Caption() const;

    // Every control in layout order, and one by name (nullptr when there is none).
    const QList<Control *> &Controls() const { return m_controls; }
    Control *FindControl(const QString &name) const;

    // What the program must still tell as it ends ("" when nothing): Exit or the close box
    // dropped a save the line never took.
    const QString &ClosingNotice() const { return m_closingNotice; }

    // The whole text behind the status line: its hint where it has one, else its caption.
    QString StatusToolTip() const;

    // True once Exit has run: the window takes no further event.
    bool Ended() const { return m_ended; }

    void Form_Load();
    // The port list is about to open: it is filled again from the probe, each port with what
    // the system knows of it as its hint; the typed text stays.
    void pCPort_DropDown();
    void bOpen_Click();
    void MSComm1_OnComm();
    void HandleInput(const QString &dRecv);

    void bCalG_Click();
    void bTPS_Click();
    void bEbrk_Click();
    void bDef_Click();
    void bSave_Click();
    void bExit_Click();

    void tAccel_Change();
    void tDecel_Change();
    void tTurn_Change();
    void tMax_Change();
    void tMin_Change();
    void tLFB_Change();

Q_SIGNALS:
    // Exit has run: the program ends now, without any further handler.
    void ProgramEnds();
    // The keyboard focus belongs in this control (a box that must be corrected).
    void FocusRequested(tuner::Control *control);

private:
    // What the box hints know of the controller's values: nothing, a report, or a save sent.
    enum class Known { Nothing, Reported, Sent };

    // A percentage box with its label and the parameter it shows.
    struct PercentControls {
        Control *box;
        Control *label;
        const PercentField *field;
    };
    // A button that shows and flips a switch.
    struct SwitchControls {
        Control *button;
        const SwitchField *field;
    };

    void Connect();
    void Disconnect();
    void MSComm1_LineLost();
    void ShowDisconnected();
    bool LastSaveDropped() const;
    void SetKnown(Known known);
    // The hint of a value box (Control::Hint): its range and what is known of the controller's
    // value, in its display form: "0 to 200 %; the controller holds 100" after a report of this
    // connection, "0 to 200 %; 140 sent, not read back" after a save, the range alone before any
    // report of this connection and after a lost line.
    QString BoxHint(const PercentControls &percent) const;
    void SetEditingEnabled(bool enabled);
    // The port list's hint: how to reach each existing port it never lists (those above 16),
    // "COM23 exists: type 23" a line each.
    QString UnlistedPortsHint(const QList<qint16> &unlisted) const;
    // Every status message goes through here: the caption, and its whole form as the hint
    // where the caption is a shortened one.
    void ShowStatus(const QString &caption, const QString &whole = {});
    void PercentChanged(const Control &box);
    void Toggle(const Control &button);
    const PercentControls *PercentOf(const Control &box) const;
    const SwitchControls *SwitchOf(const Control &button) const;

    PortDirectory m_ports;
    QList<Control *> m_controls;
    QList<PercentControls> m_percents; // in the order the boxes are enabled
    QList<PercentControls> m_percentsInWireOrder;
    QList<SwitchControls> m_switches;
    bool m_ended = false;
    Known m_known = Known::Nothing;
    std::array<double, kPercentCount> m_sent{}; // in wire order
    // The last record written on this connection was a save (not the read request).
    bool m_saveIsLastOutput = false;
    // The save last written on this connection: a line that echoes gives it back, and that
    // is never a report.
    QString m_lastSave;
    QString m_closingNotice;
};

} // namespace tuner
