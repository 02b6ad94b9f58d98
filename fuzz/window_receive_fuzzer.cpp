// Fuzzes the window's whole receive path: arbitrary text arrives on a connected in-memory port
// (OnComm -> MSComm1_OnComm -> Input -> HandleInput). Nothing may crash; a text that is not a
// full report changes nothing the user sees or the window holds, and a full report puts the
// window into the "parameters shown" state with exactly the reported values.
//
// Input layout:
//   byte 0  flags: bit 0 first show a report and edit it (a box's text, the TPS switch),
//           bit 1 hand the texts to HandleInput directly instead of through the port,
//           bit 2 raise every other event with a kind other than "received"
//   then the received texts, separated by U+001E (one byte, one Latin-1 character).

#include "link/protocol/records.h"
#include "link/settings/number_forms.h"
#include "link/settings/parameter_set.h"
#include "tests/support/memory_port.h"
#include "tests/support/window_snapshot.h"
#include "window/dccd.h"
#include "window/layout.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

using tuner::Control;
using tuner::DCCD;

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "window property violated: %s\n", what);
    std::abort();
}

void Check(bool ok, const char *what) {
    if (!ok)
        Fail(what);
}

constexpr char16_t kTextSeparator = 0x1E;
constexpr int kMaxTexts = 16;

using tuner::testing::WindowSnapshot;

bool SameFloat(float a, float b) {
    return a == b;
}

// After a full report: the reported settings and their display forms, switch captions, the
// green lamp, every editing control on, the status line last; every other control as before.
void CheckShown(const DCCD &w, const tuner::TuningParameters &p, const QStringList &before) {
    for (const tuner::PercentField &percent : tuner::kPercents)
        Check(SameFloat(w.*percent.value, p.*percent.value),
              "a full report was not taken into the settings");
    for (const tuner::SwitchField &flag : tuner::kSwitches)
        Check(w.*flag.value == p.*flag.value, "a full report was not taken into the settings");
    QList<const Control *> editing = {&w.bSave, &w.bExit, &w.bTPS, &w.bEbrk, &w.bCalG, &w.bDef};
    for (const tuner::PercentBox &entry : tuner::PercentBoxes()) {
        const Control *box = w.FindControl(entry.box.toString());
        Check(box != nullptr, "a percentage box is missing");
        Check(box->Text() == tuner::DisplayForm(p.*tuner::FindPercent(entry.parameter)->value),
              "a box does not show the display form of its reported value");
        editing.append(box);
    }
    Check(w.bTPS.Caption() ==
              (p.TpsReverse ? QStringLiteral("TPS = Reverse") : QStringLiteral("TPS = Normal")),
          "the TPS caption does not match the report");
    Check(w.bEbrk.Caption() == (p.EbrakeCutOff ? QStringLiteral("Ebrake Cut = Off")
                                               : QStringLiteral("Ebrake Cut = On")),
          "the Ebrake caption does not match the report");
    Check(w.Shape1.FillColor() == tuner::kLampGreen, "the lamp is not green after a report");
    Check(w.tStatus.Caption() == QStringLiteral("Parmeters Received from Controller."),
          "the status line does not say the parameters were received");
    for (const Control *c : editing)
        Check(c->Enabled(), "an editing control is off after a report");

    const QList<Control *> &controls = w.Controls();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const Control *c = controls.at(i);
        bool touched = c == &w.Shape1 || c == &w.tStatus;
        for (const Control *e : editing)
            touched = touched || c == e;
        if (!touched)
            Check(tuner::testing::ControlState(*c) == before.at(i),
                  "a report changed a control it does not own");
    }
    Check(w.bOpen.Caption() == QStringLiteral("Disconnect"), "a report changed the phase");
}

class Window {
public:
    Window()
        : w(port, {[] {
                       comfunct::PortScan scan;
                       scan.numbers = QStringList{QStringLiteral("1")};
                       scan.defaultPort = 1;
                       return scan;
                   },
                   [](qint16 n) { return n == 1 ? QStringLiteral("/dev/ttyUSB0") : QString(); }}) {}

    tuner::testing::MemoryPort port;
    DCCD w;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const QString input = QString::fromLatin1(
        QByteArrayView(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1)));
    QStringList texts = input.split(QChar(kTextSeparator));
    if (texts.size() > kMaxTexts)
        texts.resize(kMaxTexts);

    Window window;
    DCCD &w = window.w;
    tuner::testing::MemoryPort &port = window.port;
    w.Form_Load();
    w.bOpen_Click();
    Check(port.PortOpen(), "the in-memory port did not open");
    Check(port.written == QStringList{tuner::ReadRequest()}, "Connect did not send one request");

    if ((flags & 1) != 0) {
        const QString report =
            QStringLiteral("P,00100,00100,00100,00100,00000,00033,00000,00000,00000\r");
        port.Deliver(report);
        Check(w.Shape1.FillColor() == tuner::kLampGreen, "the default report was not shown");
        w.tAccel.SetText(QStringLiteral("7"));
        w.bTPS.RaiseClick();
        Check(w.TpsReverse, "the TPS switch did not flip");
    }

    QString waiting; // characters in the port's input buffer not read yet
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString &text = texts.at(i);
        const QStringList before = WindowSnapshot(w);
        const QStringList writtenBefore = port.written;
        const bool otherEvent = (flags & 4) != 0 && i % 2 == 1;
        QString received = text;
        if ((flags & 2) != 0) {
            w.HandleInput(text);
        } else if (otherEvent) {
            port.Deliver(text, static_cast<qint16>(tuner::comEvReceive + 1));
            waiting += text;
            Check(WindowSnapshot(w) == before,
                  "an event other than \"received\" changed the window");
            continue;
        } else {
            port.Deliver(text);
            received = waiting + text;
            waiting.clear();
            Check(w.ReceiveBuffer == received, "the receive buffer is not all waiting input");
            Check(port.Input().isEmpty(), "input was left waiting after a receive event");
        }

        Check(port.written == writtenBefore, "receiving wrote to the port");
        Check(port.PortOpen(), "receiving closed the port");
        // The last report among its records: the window takes what ReportIn finds.
        const std::optional<tuner::TuningParameters> report = tuner::ReportIn(received);
        if (report)
            CheckShown(w, *report, before);
        else
            Check(WindowSnapshot(w) == before,
                  "a text that is not a full report changed the window");
    }
    return 0;
}
