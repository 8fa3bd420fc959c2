#pragma once

// Figures of a benchmark in wall and CPU time, and the baselines measured
// earlier in the same run that the later benchmarks are set against.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace benchsupport {

inline double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Wall time and this thread's CPU time since it was made (or restarted).
class TStopwatch
{
public:
    TStopwatch() { Restart(); }
    void Restart()
    {
        wall_ = std::chrono::steady_clock::now();
        cpu_ = ThreadCpuSeconds();
    }
    double WallSeconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    }
    double CpuSeconds() const { return ThreadCpuSeconds() - cpu_; }

private:
    std::chrono::steady_clock::time_point wall_;
    double cpu_ = 0;
};

// One figure in both clocks, in the unit the benchmark reports.
struct TFigure
{
    double Wall = 0;
    double Cpu = 0;
    benchmark::IterationCount Iterations = 0;
};

// Baseline figures by name, one per repetition.
inline std::map<std::string, std::vector<TFigure>> &Baselines()
{
    static std::map<std::string, std::vector<TFigure>> figures;
    return figures;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median of a baseline's repetitions with the most iterations (the
// library's trial runs, a cold start, left out); false when there is none.
inline bool BaselineMedian(const std::string &name, double &wall, double &cpu)
{
    const std::vector<TFigure> &figures = Baselines()[name];
    if (figures.empty())
        return false;
    benchmark::IterationCount most = 0;
    for (const TFigure &f : figures)
        most = std::max(most, f.Iterations);
    std::vector<double> walls, cpus;
    for (const TFigure &f : figures)
        if (f.Iterations == most)
            walls.push_back(f.Wall), cpus.push_back(f.Cpu);
    wall = Median(walls);
    cpu = Median(cpus);
    return true;
}

} // namespace benchsupport
