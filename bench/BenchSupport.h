// Shared driver for the whole-computation benchmarks: the reference cones,
// the --cones=DIR option, and one timed run of a generator with its console
// output swallowed.
#ifndef REDIVEZ_BENCH_SUPPORT_H
#define REDIVEZ_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstddef>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "app/DDInput.h"
#include "settings/DDRunSettings.h"

namespace double_description {
namespace bench {

template <class Generator> class CountingGenerator : public Generator {
public:
  using Generator::Generator;
  std::size_t finalRayCount() const { return this->mRayCache.mFinalRays.size(); }
};

// Times base calculation and run of one generator per iteration under the
// default settings with the given adjacency test; reading the input and the
// console are left out. record(generator) runs untimed after each run.
template <class Generator, class Record>
void timeRun(benchmark::State& state, std::string const& path, AdjacencyTest test, Record record) {
  RunSettings settings;
  settings.mAdjacencyTest = test;
  std::ostringstream sink;
  for (auto _ : state) {
    state.PauseTiming();
    Input input(path.c_str());
    CountingGenerator<Generator> generator(input.mOriginalMatrix, input.mWorkingMatrix,
                                           input.mBaseMatrix, settings);
    std::streambuf* console = std::cout.rdbuf(sink.rdbuf());
    state.ResumeTiming();
    generator.calculateBase();
    generator.run();
    state.PauseTiming();
    std::cout.rdbuf(console);
    sink.str("");
    record(generator);
    state.ResumeTiming();
  }
}

const char* const REFERENCE_CONES[] = {"cube_14",
                                       "cyclic_dual_24_10",
                                       "cyclic_dual_40_6",
                                       "rand_poly_40_11",
                                       "rand_poly_deg_120_7",
                                       "rand_poly_200_5",
                                       "rand_cone_150_6",
                                       "rand_poly_rat_50_6",
                                       "rand01_dual_8_40",
                                       "nmz_medium_facets",
                                       "nmz_strictBorda",
                                       "nmz_A443_facets",
                                       "nmz_PluralityVsCutoff",
                                       "nmz_small_facets",
                                       "cross_12",
                                       "nmz_cut_poly_7_facets",
                                       "nmz_lo6_facets",
                                       "metcone_7",
                                       "4ti2_magic6x6",
                                       "nmz_semigraphoid5_facets"};

inline bool exists(std::string const& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Calls registerCone(name, path) for every reference cone present, then runs
// the benchmarks.
template <class Register> int runReferenceCones(int argc, char** argv, Register registerCone) {
  std::string here(__FILE__);
  std::string cones = here.substr(0, here.find_last_of('/')) + "/../../shared/cones";
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--cones=", 8) == 0)
      cones = argv[i] + 8;
  for (const char* name : REFERENCE_CONES) {
    const std::string path = cones + "/" + name + ".txt";
    if (exists(path))
      registerCone(std::string(name), path);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

} // namespace bench
} // namespace double_description

#endif
