#pragma once
// The benchmarks' one reporter: Google Benchmark's console output, plus each run's
// adjusted real time by its function's name, so that main can print the ratio against
// the baseline measured in the same run.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class Informe : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> tiempos;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (!r.error_occurred) tiempos[r.run_name.function_name] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
};
