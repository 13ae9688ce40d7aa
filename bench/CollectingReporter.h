// CollectingReporter: the console report of a benchmark run, keeping each benchmark's mean time
// per iteration by name, so a summary can compare it with its reference in the same run.
#pragma once

#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

namespace bench {

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.benchmark_name()]
                    = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The time of the first benchmark whose name starts so, or 0.
    double secondsStartingWith(const std::string& prefix) const
    {
        for (auto& [name, time] : seconds) {
            if (name.rfind(prefix, 0) == 0)
                return time;
        }
        return 0.0;
    }
    std::map<std::string, double> seconds;
};

}
