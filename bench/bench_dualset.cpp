// Whole partitioned-sets computations on the larger reference cones: one
// timed run per instance, with the number of extreme rays found and the
// certificates the store still holds at the end.
//
//   bench_dualset [--cones=DIR] [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "app/DDInput.h"
#include "dualset/DDDualSetRayGenerator.h"
#include "settings/DDOptions.h"

using namespace double_description;

namespace {

class CountingGenerator : public DualSetRayGenerator {
public:
  using DualSetRayGenerator::DualSetRayGenerator;
  std::size_t finalRayCount() const { return mRayCache.mFinalRays.size(); }
};

void runInstance(benchmark::State& state, std::string const& path) {
  Options::current()->mAdjacencyTest = PARTITIONED_SETS_TEST;
  std::ostringstream sink;
  std::size_t rays = 0;
  std::size_t certificates = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Input input(path.c_str());
    CountingGenerator generator(input.mOriginalMatrix, input.mWorkingMatrix, input.mBaseMatrix);
    std::streambuf* console = std::cout.rdbuf(sink.rdbuf());
    state.ResumeTiming();
    generator.calculateBase();
    generator.run();
    state.PauseTiming();
    std::cout.rdbuf(console);
    sink.str("");
    rays = generator.finalRayCount();
    certificates = generator.mDependencyCache.getSize();
    state.ResumeTiming();
  }
  state.counters["rays"] = static_cast<double>(rays);
  state.counters["certificates"] = static_cast<double>(certificates);
}

const char* const INSTANCES[] = {
    "cube_14",           "cyclic_dual_24_10",     "cyclic_dual_40_6",    "rand_poly_40_11",
    "rand_poly_deg_120_7", "rand_poly_200_5",     "rand_cone_150_6",     "rand_poly_rat_50_6",
    "rand01_dual_8_40",  "nmz_medium_facets",     "nmz_strictBorda",     "nmz_A443_facets",
    "nmz_PluralityVsCutoff", "nmz_small_facets",  "cross_12",            "nmz_cut_poly_7_facets",
    "nmz_lo6_facets",    "metcone_7",             "4ti2_magic6x6",       "nmz_semigraphoid5_facets"};

bool exists(std::string const& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

} // namespace

int main(int argc, char** argv) {
  std::string here(__FILE__);
  std::string cones = here.substr(0, here.find_last_of('/')) + "/../../shared/cones";
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--cones=", 8) == 0)
      cones = argv[i] + 8;
  for (const char* name : INSTANCES) {
    const std::string path = cones + "/" + name + ".txt";
    if (!exists(path))
      continue;
    benchmark::RegisterBenchmark((std::string("part/") + name).c_str(),
                                 [path](benchmark::State& state) { runInstance(state, path); })
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
