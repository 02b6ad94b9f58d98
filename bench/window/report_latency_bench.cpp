// Time from the last byte of a report written on the serial line to the new values painted in
// the window: the real port service on a pseudo-terminal, the real window, a real paint.
// Two forms of the same report side by side:
//   cr:1  the controller ends it with its CR: taken at once, expected a few milliseconds;
//   cr:0  without the CR: taken once the line has been quiet for the settle interval (50 ms),
//         expected the settle interval plus a few milliseconds. Before a record's end was looked
//         for, every report waited for a quiet line of 20 ms: 20.6 ms from last byte to screen.
#include "bench/window/pty_line.h"
#include "link/ports/port_table.h"
#include "link/serial/port_service_linux.h"
#include "link/settings/number_forms.h"
#include "window/dccd.h"
#include "window/qt/dccd_window.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Counts paints of one widget after its text has reached an expected value.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QLineEdit *box) : m_box(box) { m_box->installEventFilter(this); }

    void Expect(const QString &text) {
        m_expected = text;
        m_painted = false;
    }
    bool Painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_box && event->type() == QEvent::Paint && m_box->text() == m_expected)
            m_painted = true;
        return false;
    }

private:
    QLineEdit *m_box;
    QString m_expected;
    bool m_painted = false;
};

void BM_ReportToScreen(benchmark::State &state) {
    const bool withRecordEnd = state.range(0) != 0;
    bench::PtyLine line;
    if (!line.Opened()) {
        state.SkipWithError("openpty failed");
        return;
    }
    const int controller = line.Controller();
    comfunct::PortTable &ports = line.ports;

    tuner::QtSerialPortService port(ports);
    tuner::DCCD model(port, {[] {
                                 return comfunct::PortScan{{QStringLiteral("1")}, 1, {}};
                             },
                             [&ports](qint16 n) { return ports.DevicePath(n); }});
    tuner::DccdWindow window(model);
    model.Form_Load();
    window.show();
    model.pCPort.SetText(QStringLiteral("1"));
    model.bOpen_Click();
    if (!port.PortOpen()) {
        state.SkipWithError("the port did not open");
        return;
    }
    auto *box = qobject_cast<QLineEdit *>(window.Widget(QStringLiteral("tAccel")));
    PaintWatch watch(box);

    int round = 0;
    for (auto _ : state) {
        // Alternate two values so every report changes what is shown.
        const int accel = (round++ % 2) ? 150 : 120;
        const QByteArray report = "P," + QByteArray::number(accel).rightJustified(5, '0') +
                                  ",00100,00100,00100,00000,00033,00000,00000,00000" +
                                  (withRecordEnd ? "\r" : "");
        watch.Expect(tuner::DisplayForm(static_cast<float>(accel)));
        const auto start = std::chrono::steady_clock::now();
        if (write(controller, report.constData(), static_cast<size_t>(report.size())) !=
            report.size()) {
            state.SkipWithError("write to the line failed");
            break;
        }
        QElapsedTimer guard;
        guard.start();
        while (!watch.Painted() && guard.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const auto end = std::chrono::steady_clock::now();
        if (!watch.Painted()) {
            state.SkipWithError("the values never reached the screen");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    model.bExit_Click();
}
BENCHMARK(BM_ReportToScreen)
    ->ArgName("cr")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
