// Whole partitioned-sets computations on the larger reference cones: one
// timed run per instance, with the number of extreme rays found and the
// certificates the store still holds at the end.
//
//   bench_dualset [--cones=DIR] [--benchmark_filter=REGEX]
#include "BenchSupport.h"

#include "dualset/DDDualSetRayGenerator.h"

using namespace double_description;

namespace {

void runInstance(benchmark::State& state, std::string const& path) {
  std::size_t rays = 0;
  std::size_t certificates = 0;
  bench::timeRun<DualSetRayGenerator>(state, path, PARTITIONED_SETS_TEST, [&](auto& generator) {
    rays = generator.finalRayCount();
    certificates = generator.dependencyCache().getSize();
  });
  state.counters["rays"] = static_cast<double>(rays);
  state.counters["certificates"] = static_cast<double>(certificates);
}

} // namespace

int main(int argc, char** argv) {
  return bench::runReferenceCones(argc, argv, [](std::string const& name, std::string const& path) {
    benchmark::RegisterBenchmark(("part/" + name).c_str(),
                                 [path](benchmark::State& state) { runInstance(state, path); })
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  });
}
