// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// One whole frame of the rotor (from the clear to the last link, presented as the window shows it)
// on the image surface, for every preset at device pixel ratio 1 and 2; and, for 1, 2 and 8 vanes,
// the same frame with the QPainter reference rasteriser. A table at the end gives the medians side
// by side with the speed-up.
#include "rotor_rig.h"
#include "scene/picture1.h"
#include "scene/presets.h"
#include "scene/rotor.h"
#include "surface/raster/image_surface.h"
#include "tests/support/painter_rasteriser.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using namespace rotavel::raster;
using rotavel::testing::Animation;
using rotavel::testing::presetOf;

enum class Renderer { Fast, Reference };

const char* familyName(Renderer r) {
    return r == Renderer::Fast ? "frame/fast" : "frame/reference";
}

// Args: vanes (a preset's count), device pixel ratio. Besides the mean time per frame, the
// counter `p50_us` is the median of the single frames' times, which a busy neighbour on the
// machine disturbs far less.
void frame(benchmark::State& state, Renderer renderer) {
    const int vanes = int(state.range(0));
    const double ratio = double(state.range(1));
    const auto surface =
        renderer == Renderer::Fast
            ? std::make_unique<ImageSurface>(rotavel::scene::kPicture1, ratio)
            : std::make_unique<ImageSurface>(rotavel::scene::kPicture1,
                                             std::make_unique<PainterRasteriser>(), ratio);
    ImageSurface& area = *surface;
    Animation animation(area, presetOf(vanes));
    rotavel::scene::Rotor& rotor = animation.rotor;
    for (int i = 0; i < 20; ++i) // caches and branch predictors warm, as in a running animation
        rotor.tick();

    std::vector<double> times;
    times.reserve(1 << 20);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        rotor.tick();
        benchmark::DoNotOptimize(area.present());
        benchmark::DoNotOptimize(area.image().data());
        const auto end = std::chrono::steady_clock::now();
        if (times.size() < times.capacity())
            times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (!times.empty()) {
        auto mid = times.begin() + times.size() / 2;
        std::nth_element(times.begin(), mid, times.end());
        state.counters["p50_us"] = *mid;
    }
}

// (max - min) / median of the repetitions: how far the machine's noise moves one number.
double spread(const std::vector<double>& v) {
    if (v.empty())
        return 0;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    const double median = s[s.size() / 2];
    return median > 0 ? (s.back() - s.front()) / median : 0;
}

// Whether a run stopped with an error or was skipped: the library's own field for it is
// `error_occurred` up to 1.7 and `skipped` from 1.8 on, so ask the run which one it has.
template <class Run> bool failed(const Run& run) {
    if constexpr (requires { run.skipped; })
        return static_cast<bool>(run.skipped);
    else
        return run.error_occurred;
}

// The console output as usual, plus the per-frame medians kept for the closing table.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    using benchmark::ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto counter = run.counters.find("p50_us");
            if (counter == run.counters.end() || failed(run))
                continue;
            Result& r = m_results[run.run_name.function_name + "/" + run.run_name.args];
            if (run.run_type == Run::RT_Iteration)
                r.single.push_back(counter->second.value);
            else if (run.aggregate_name == "median")
                r.median = counter->second.value;
            else if (run.aggregate_name == "spread")
                r.spread = counter->second.value;
        }
    }

    void printSummary(const std::vector<std::tuple<int, int>>& rows) const {
        std::printf("\nMedian frame time in microseconds (median over repetitions of each "
                    "repetition's median frame; spread = (max - min) / median of the "
                    "repetitions)\n");
        std::printf("%6s %6s %10s %8s %12s %8s %9s\n", "vanes", "ratio", "fast", "spread",
                    "reference", "spread", "speed-up");
        for (const auto& [vanes, ratio] : rows) {
            const std::string args =
                "vanes:" + std::to_string(vanes) + "/ratio:" + std::to_string(ratio);
            const Result* fast = find(std::string(familyName(Renderer::Fast)) + "/" + args);
            const Result* ref = find(std::string(familyName(Renderer::Reference)) + "/" + args);
            if (!fast || !ref)
                continue;
            const double f = fast->value(), r = ref->value();
            std::printf("%6d %6d %10.1f %7.1f%% %12.1f %7.1f%% %8.1fx\n", vanes, ratio, f,
                        100 * fast->spreadValue(), r, 100 * ref->spreadValue(),
                        f > 0 ? r / f : 0.0);
        }
    }

private:
    struct Result {
        std::vector<double> single; // each repetition, when no aggregates are reported
        double median = -1, spread = -1;

        double value() const {
            if (median >= 0 || single.empty())
                return median;
            std::vector<double> s = single;
            std::sort(s.begin(), s.end());
            return s[s.size() / 2];
        }
        double spreadValue() const { return spread >= 0 ? spread : ::spread(single); }
    };

    const Result* find(const std::string& key) const {
        const auto it = m_results.find(key);
        return it == m_results.end() ? nullptr : &it->second;
    }

    std::map<std::string, Result> m_results;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    for (const Renderer renderer : {Renderer::Fast, Renderer::Reference}) {
        auto* b = benchmark::RegisterBenchmark(familyName(renderer), frame, renderer);
        b->ArgNames({"vanes", "ratio"})->Unit(benchmark::kMicrosecond)->MinTime(0.3);
        b->ComputeStatistics("spread", spread, benchmark::kPercentage);
        for (const int ratio : {1, 2}) {
            if (renderer == Renderer::Fast) {
                for (const auto& preset : rotavel::scene::kPresets)
                    b->Args({preset.nvanes, ratio});
            } else {
                for (const int vanes : {1, 2, 8})
                    b->Args({vanes, ratio});
            }
        }
    }

    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary({{1, 1}, {2, 1}, {8, 1}, {1, 2}, {2, 2}, {8, 2}});
    benchmark::Shutdown();
    return 0;
}
