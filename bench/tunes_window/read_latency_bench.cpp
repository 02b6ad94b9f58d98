// Time from the last byte of a report written on the serial line to the values painted in the
// DCCD Tunes window's Controller column: the real port service on a pseudo-terminal, the real
// window, a real paint, a whole Read controller each round (the port opened, the read request
// sent and answered, the port closed).
#include "bench/window/pty_line.h"
#include "link/ports/port_table.h"
#include "link/serial/port_service_linux.h"
#include "tunes_window/qt/tunes_window.h"
#include "tunes_window/tunes_model.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableWidget>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Tells when the table has been painted showing an expected value in its Controller column.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QTableWidget *table) : m_table(table) {
        m_table->viewport()->installEventFilter(this);
    }

    void Expect(const QString &text) {
        m_expected = text;
        m_painted = false;
    }
    bool Painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint && m_table->item(0, 1) != nullptr &&
            m_table->item(0, 1)->text() == m_expected)
            m_painted = true;
        return false;
    }

private:
    QTableWidget *m_table;
    QString m_expected;
    bool m_painted = false;
};

// Runs the event loop until the read request is on the line; false after five seconds.
bool ReadRequestArrived(int controller) {
    QByteArray seen;
    QElapsedTimer guard;
    guard.start();
    while (!seen.contains('\r') && guard.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        pollfd p{controller, POLLIN, 0};
        char buffer[64];
        if (poll(&p, 1, 1) == 1 && (p.revents & POLLIN) != 0) {
            const ssize_t got = read(controller, buffer, sizeof buffer);
            if (got > 0)
                seen.append(buffer, static_cast<qsizetype>(got));
        }
    }
    return seen.contains('\r');
}

void BM_ReadToScreen(benchmark::State &state) {
    bench::PtyLine line;
    if (!line.Opened()) {
        state.SkipWithError("openpty failed");
        return;
    }
    const int controller = line.Controller();
    comfunct::PortTable &ports = line.ports;

    tuner::QtSerialPortService port(ports);
    tuner::TunesModel model(port, {[] {
                                       return comfunct::PortScan{{QStringLiteral("1")}, 1, {}};
                                   },
                                   [&ports](qint16 n) { return ports.DevicePath(n); }});
    tuner::TunesWindow window(model);
    model.Load(1);
    window.show();
    PaintWatch watch(window.findChild<QTableWidget *>());

    int round = 0;
    for (auto _ : state) {
        // Alternate two values so every report changes what is shown.
        const int accel = (round++ % 2) ? 150 : 120;
        const QByteArray report = "P," + QByteArray::number(accel).rightJustified(5, '0') +
                                  ",00100,00100,00100,00000,00033,00000,00000,00000\r";
        watch.Expect(QString::number(accel));
        model.ReadController();
        if (!ReadRequestArrived(controller)) {
            state.SkipWithError("no read request came");
            break;
        }
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
        // The port is closed once the reading has ended.
        while (model.Task() != tuner::TunesTask::None && guard.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}
BENCHMARK(BM_ReadToScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

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
