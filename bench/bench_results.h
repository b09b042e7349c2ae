// The figures the benchmarks of card_store_bench collect: seconds per
// workload and engine ("quill", "sqlite"), printed as one table at the end
// in the order the workloads first ran.
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace quill::bench {

struct Results {
  std::vector<std::string> order;
  std::map<std::string, std::map<std::string, double>> seconds;
};

inline Results& AllResults() {
  static Results r;
  return r;
}

inline void Record(const char* engine, const std::string& workload, double seconds) {
  Results& r = AllResults();
  if (std::find(r.order.begin(), r.order.end(), workload) == r.order.end()) {
    r.order.push_back(workload);
  }
  r.seconds[workload][engine] = seconds;
}

inline double SecondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace quill::bench
