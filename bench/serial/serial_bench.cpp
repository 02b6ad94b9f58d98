// The receive path of the real port service on a pseudo-terminal:
//  - ReportToOnComm: time from the last byte of a 56-byte report written on the line to the
//    OnComm handler (median over the samples in the "median_us" counter);
//  - IdleOpenPort: CPU time the process spends in 10 s with an open, idle port.

#include "link/ports/port_table.h"
#include "link/protocol/records.h"
#include "link/serial/line_settings.h"
#include "link/serial/port_service_linux.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray kReport = "P,00120,00090,00100,00080,00010,00040,00001,00000,00001\r";

struct Line {
    int master = -1;
    int slave = -1;
    QString path;
    Line() {
        termios raw{};
        cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&master, &slave, name, &raw, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~Line() {
        ::close(master);
        ::close(slave);
    }
};

// Port 1 of `ports` is the line; the service opens it through that table.
bool OpenOn(tuner::QtSerialPortService &service, comfunct::PortTable &ports, const Line &line) {
    ports.SetDevicePath(1, line.path);
    service.SetCommPort(1);
    service.SetSettings(tuner::LineSettingsText(tuner::kLineSettings));
    service.SetInputLen(0);
    service.SetRThreshold(tuner::kReceiveThreshold);
    return service.SetPortOpen(true);
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void ReportToOnComm(benchmark::State &state) {
    Line line;
    comfunct::PortTable ports;
    tuner::QtSerialPortService service(ports);
    if (!OpenOn(service, ports, line)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 arrived = 0;
    QObject::connect(&service, &tuner::SerialPortService::OnComm, &loop, [&] {
        arrived = clock.nsecsElapsed();
        service.Input();
        loop.quit();
    });
    std::vector<double> samples;
    for (auto _ : state) {
        if (::write(line.master, kReport.constData(), static_cast<size_t>(kReport.size())) !=
            kReport.size()) {
            state.SkipWithError("write failed");
            return;
        }
        clock.start(); // the last byte is on the line now
        loop.exec();
        const double seconds = static_cast<double>(arrived) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    std::sort(samples.begin(), samples.end());
    if (!samples.empty())
        state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
}
BENCHMARK(ReportToOnComm)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void IdleOpenPort(benchmark::State &state) {
    Line line;
    comfunct::PortTable ports;
    tuner::QtSerialPortService service(ports);
    if (!OpenOn(service, ports, line)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        const double before = CpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(std::chrono::seconds(10), &loop, &QEventLoop::quit);
        loop.exec();
        state.counters["cpu_ms_per_10s"] = (CpuSeconds() - before) * 1e3;
    }
}
BENCHMARK(IdleOpenPort)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
