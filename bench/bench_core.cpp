// Figures for the exact kernels: ray coordinates from a zero set, the exact
// combination of two rays, and bit-list copies.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "core/DDBitOps.h"
#include "core/DDExtremeRayUncompressor.h"
#include "core/DDRayReference.h"
#include "core/DDSingleSetRay.h"
#include "core/DDSlackCalculator.h"

using namespace double_description;

namespace {
Matrix randomMatrix(unsigned rows, unsigned cols, long range, unsigned seed) {
  std::mt19937_64 rng(seed);
  Matrix m;
  for (unsigned i = 0; i < rows; ++i) {
    CalculationVector v(cols);
    for (unsigned j = 0; j < cols; ++j)
      v[j] = static_cast<long>(rng() % (2 * range + 1)) - range;
    m.insert(v);
  }
  return m;
}

void BM_CalcExtremeRay(benchmark::State& state) {
  const unsigned d = static_cast<unsigned>(state.range(0));
  const long range = state.range(1);
  const unsigned m = 4 * d;
  Matrix matrix = randomMatrix(m, d, range, 7);
  const unsigned words = (m + 63) / 64;
  BitList z(words);
  for (unsigned k = 0; k + 1 < d; ++k)
    setBit(z.words(), 2 * k);
  ExtremeRayUncompressor solver(m, d, words);
  RepresentationVector x(d);
  for (auto _ : state) {
    x.reset();
    solver.calcExtremeRay(matrix, z, x);
    benchmark::DoNotOptimize(x.mValues.data());
  }
}
BENCHMARK(BM_CalcExtremeRay)->Args({6, 10})->Args({12, 10})->Args({24, 10})->Args({12, 1000000});

// The combination on row 5 of m rows with d = 8 random entries in
// [-range, range], and the walk to the new ray's first negative row.
void BM_RayCombination(benchmark::State& state) {
  const unsigned m = static_cast<unsigned>(state.range(0));
  const long range = state.range(1);
  const unsigned d = 8;
  std::mt19937_64 rng(11);
  auto entry = [&] { return static_cast<long>(rng() % (2 * range + 1)) - range; };
  Matrix working(m, d);
  for (unsigned k = 0; k < m; ++k)
    for (unsigned j = 0; j < d; ++j)
      working.row(k)[j] = entry();
  const SlackCalculator slacks(working);
  auto coordinates = [&](int sign) {
    for (;;) {
      MachineValues x = makeMachineValues(d);
      for (unsigned j = 0; j < d; ++j)
        x[j] = entry();
      RayCoordinates c(std::move(x), d);
      if (slacks.sign(5, c) == sign)
        return c;
    }
  };
  const unsigned words = static_cast<unsigned>(BitList::wordsFor(m));
  SingleSetRay p(d, 4, coordinates(1), BitList(words), m);
  SingleSetRay n(d, 4, coordinates(-1), BitList(words), m);
  for (auto _ : state) {
    SingleSetRay r(&p, &n, 5, slacks);
    benchmark::DoNotOptimize(r.firstNegativeRow());
  }
}
BENCHMARK(BM_RayCombination)->Args({64, 1000})->Args({512, 1000})->Args({512, 1000000000});

void BM_ReferenceCopy(benchmark::State& state) {
  const unsigned long words = static_cast<unsigned long>(state.range(0));
  const SingleSetRay ray(4, 3, RayCoordinates(), BitList(words), 8);
  const BitList pattern(words, 0x5555555555555555ul);
  RayReference r(&ray, pattern);
  for (auto _ : state) {
    RayReference copy(r);
    benchmark::DoNotOptimize(copy.bits().words());
  }
}
BENCHMARK(BM_ReferenceCopy)->Arg(1)->Arg(2)->Arg(4)->Arg(16);
} // namespace

BENCHMARK_MAIN();
