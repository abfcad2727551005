#pragma once

#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

// Remembers each benchmark's real time per iteration (by name up to the first
// '/') so a program can print a ratio of two of them as its last line.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            seconds_[name.substr(0, name.find('/'))] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Time of `numerator` divided by time of `denominator`; 0 when either is missing.
    double ratio(const std::string& numerator, const std::string& denominator) const {
        const auto n = seconds_.find(numerator);
        const auto d = seconds_.find(denominator);
        if (n == seconds_.end() || d == seconds_.end() || n->second <= 0 || d->second <= 0) {
            return 0;
        }
        return n->second / d->second;
    }

    double time(const std::string& name) const {
        const auto it = seconds_.find(name);
        return it == seconds_.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> seconds_;
};
