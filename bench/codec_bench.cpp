// Record handling costs: a report is cut and read, a save record built. At 57600 baud a
// 56-character report spends about 9.7 ms on the wire; these should be thousands of times less.
#include "codec/modStrings.h"
#include "link/protocol/records.h"

#include <benchmark/benchmark.h>

namespace {

const QString kReport = QStringLiteral("P,00100,00100,00100,00100,00000,00033,00000,00000,00000\r");

void BM_SplitReport(benchmark::State &state) {
    const QString delimiter = QStringLiteral(",");
    const QString escape = QStringLiteral("\\");
    for (auto _ : state)
        benchmark::DoNotOptimize(modStrings::SplitFields(kReport, delimiter, escape, true));
}
BENCHMARK(BM_SplitReport);

void BM_ParseReport(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tuner::ParseReport(kReport));
}
BENCHMARK(BM_ParseReport);

// 1024 characters in 200 fields, every tenth with an escaped comma.
QString LongText() {
    QStringList fields;
    for (int i = 0; i < 200; ++i)
        fields.append(i % 10 == 0 ? QStringLiteral("a\\,b")
                                  : QStringLiteral("%1").arg(i, 4, 10, QChar(u'0')));
    QString text = fields.join(u',');
    while (text.size() < 1024)
        text.insert(text.size() / 2, u'x');
    return text;
}

void BM_Split1024Characters(benchmark::State &state) {
    const QString text = LongText();
    const QString delimiter = QStringLiteral(",");
    const QString escape = QStringLiteral("\\");
    qsizetype fields = 0;
    for (auto _ : state) {
        const QStringList result = modStrings::SplitFields(text, delimiter, escape, true);
        fields = result.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["fields"] = static_cast<double>(fields);
}
BENCHMARK(BM_Split1024Characters);

void BM_SaveCommand(benchmark::State &state) {
    std::array<QString, tuner::kPercentCount> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = tuner::kPercents[i].defaultText.toString();
    for (auto _ : state)
        benchmark::DoNotOptimize(tuner::SaveCommand(texts, false, true, false));
}
BENCHMARK(BM_SaveCommand);

} // namespace

BENCHMARK_MAIN();
