// The cost of saving and loading the state with 100 clocks.
//   build/bench/tavix_model_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "model/appstate.h"
#include "model/statecodec.h"
#include "platform/allocatortuning.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tavix;

namespace {

PersistenceContainer hundredClocks() {
    PersistenceContainer state;
    for (int i = 0; i < 100; ++i) {
        ClockModel clock =
            ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock %1").arg(i + 1), {});
        clock.mode = allClockModes()[static_cast<size_t>(i) % allClockModes().size()];
        clock.timecode->audioInputDeviceID = QStringLiteral("2913472211");
        state.clocks.append(clock);
    }
    return state;
}

// The main thread's part of a save: encode the whole state and queue the write.
void SaveHundredClocks(benchmark::State& bench) {
    QTemporaryDir dir;
    auto file = std::make_shared<StateFile>(dir.path());
    const PersistenceContainer state = hundredClocks();
    file->save(state.clocks, state.settings);
    AppState store(file);
    store.setClocks(state.clocks);
    for (auto _ : bench) {
        store.save();
        bench.PauseTiming();
        file->flushPendingWrites(); // the disk write belongs to the persistence queue, not to this figure
        bench.ResumeTiming();
    }
    bench.counters["bytes"] = static_cast<double>(encodeStateFile(state, nullptr)->size());
}
BENCHMARK(SaveHundredClocks)->Unit(benchmark::kMicrosecond);

void LoadHundredClocks(benchmark::State& bench) {
    QTemporaryDir dir;
    StateFile file(dir.path());
    const PersistenceContainer state = hundredClocks();
    file.save(state.clocks, state.settings);
    file.flushPendingWrites();
    for (auto _ : bench) {
        auto loaded = file.loadSavedState();
        if (!loaded || loaded->clocks.size() != 100) {
            bench.SkipWithError("the saved state did not load");
            break;
        }
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(LoadHundredClocks)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    tavix::tuneAllocatorForStateSaves(); // as the application does
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
