// Whole single-set computations on the larger reference cones: one timed run
// per instance and adjacency test, with the number of extreme rays found.
//
//   bench_iteration [--cones=DIR] [--benchmark_filter=REGEX]
#include "BenchSupport.h"

#include "iteration/DDSingleSetRayGenerator.h"

using namespace double_description;

namespace {

void runInstance(benchmark::State& state, std::string const& path, AdjacencyTest test) {
  std::size_t rays = 0;
  bench::timeRun<SingleSetRayGenerator>(state, path, test,
                                        [&](auto& generator) { rays = generator.finalRayCount(); });
  state.counters["rays"] = static_cast<double>(rays);
}

} // namespace

int main(int argc, char** argv) {
  return bench::runReferenceCones(argc, argv, [](std::string const& name, std::string const& path) {
    for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST})
      benchmark::RegisterBenchmark(
          ((test == COMBINATIONAL_TEST ? "comb/" : "alg/") + name).c_str(),
          [path, test](benchmark::State& state) { runInstance(state, path, test); })
          ->Iterations(1)
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
  });
}
