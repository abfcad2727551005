#pragma once

#include "bench/ratio_reporter.h"
#include "core/debug_log.h"

#include <benchmark/benchmark.h>
#include <string_view>

// Runs every benchmark of the program with the debug log silenced: the
// console's diagnostics would otherwise be part of what is measured.
inline void runQuietly(int& argc, char** argv, RatioReporter& reporter) {
    struct SilentSink final : mirx::log::LineSink {
        void write(std::string_view) override {}
    } silent;
    mirx::log::setDebuggerSink(&silent);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    mirx::log::setDebuggerSink(nullptr);
}
