// Narrowing and verification searches and tree construction over random
// patterns, per split strategy.

#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/DDBitOps.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDSingleBitSplitVisitor.h"
#include "trees/DDVantagePointVisitor.h"

using namespace double_description;

namespace {

constexpr unsigned STEP = 120;
constexpr unsigned long WORDS = 2;
constexpr unsigned THRESHOLD = 18;

RayReferenceContainer randomSet(std::size_t count, std::uint64_t seed, std::uintptr_t firstId) {
  std::mt19937_64 rng(seed);
  std::bernoulli_distribution bit(0.3);
  RayReferenceContainer set;
  for (std::size_t i = 0; i < count; ++i) {
    BitList p(WORDS);
    for (unsigned k = 0; k < STEP; ++k)
      if (bit(rng))
        setBit(p.words(), k);
    set.insert(RayReference(reinterpret_cast<Ray const*>((firstId + i) * 16 + 16), p));
  }
  return set;
}

std::unique_ptr<BitSplitVisitor> visitorFor(int strategy, RayReferenceContainer const& set,
                                            RayReferenceContainer const& query, bool unique) {
  switch (strategy) {
  case 3:
    return std::make_unique<SingleBitSplitVisitor>(15, 20, MostAverageBitFirstStrategy(set, STEP));
  case 5:
    return std::make_unique<SingleBitSplitVisitor>(
        15, 20, NarrowQueryBitsNeutralizationStrategy(set, query, STEP));
  case 7:
    return std::make_unique<BinaryDynamicVantagePointVisitor>(15, 20, unique, true);
  default:
    return std::make_unique<SingleBitSplitVisitor>(15, 20, FirstAvailableBitStrategy(STEP));
  }
}

TreeNode* build(int strategy, RayReferenceContainer const& set, RayReferenceContainer const& query,
                bool unique = false) {
  auto visitor = visitorFor(strategy, set, query, unique);
  if (visitor->supportsExtendedCondition()) {
    auto* root = new IntermediateBitSetNode<VantagePointPreliminaryCondition>(
        set.unionBits(),
        VantagePointPreliminaryCondition(set.unionBits(), THRESHOLD, BitList(WORDS)), 2);
    root->partition(set, *visitor);
    return root;
  }
  auto* root = new IntermediateBitSetNode<PreliminaryCondition>(
      set.unionBits(), PreliminaryCondition(set.unionBits(), THRESHOLD), 2);
  root->partition(set, *visitor);
  return root;
}

void BM_Construction(benchmark::State& state) {
  const auto set = randomSet(static_cast<std::size_t>(state.range(1)), 1, 0);
  const auto query = randomSet(200, 2, 1000000);
  for (auto _ : state) {
    std::unique_ptr<TreeNode> tree(build(static_cast<int>(state.range(0)), set, query));
    benchmark::DoNotOptimize(tree.get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(1));
}

void BM_NarrowingSearch(benchmark::State& state) {
  const auto set = randomSet(static_cast<std::size_t>(state.range(1)), 1, 0);
  const auto query = randomSet(500, 2, 1000000);
  std::unique_ptr<TreeNode> tree(build(static_cast<int>(state.range(0)), set, query));
  std::deque<EdgeCandidate> found;
  std::uint64_t candidates = 0;
  PreliminaryCondition::NARROWING_OPS = 0;
  for (auto _ : state)
    for (const RayReference& q : query.references()) {
      found.clear();
      tree->preliminaryTraverse(q, found);
      candidates += found.size();
    }
  const double queries = static_cast<double>(state.iterations() * query.size());
  state.counters["candidates/query"] = static_cast<double>(candidates) / queries;
  state.counters["ops/query"] = static_cast<double>(PreliminaryCondition::NARROWING_OPS) / queries;
  state.SetItemsProcessed(static_cast<std::int64_t>(queries));
}

void BM_VerificationSearch(benchmark::State& state) {
  const auto set = randomSet(static_cast<std::size_t>(state.range(1)), 3, 0);
  const auto negative = randomSet(200, 4, 1000000);
  std::unique_ptr<TreeNode> tree(build(static_cast<int>(state.range(0)), set, negative, true));
  std::vector<EdgeCandidate> pairs;
  for (std::size_t i = 0; i < 500; ++i)
    pairs.emplace_back(set.references()[i * 7 % set.size()], negative.references()[i % 200]);
  std::uint64_t answered = 0;
  for (auto _ : state)
    for (const EdgeCandidate& e : pairs) {
      const ExtVerificationCondition q(e.mCommon, e.mFirst.bits(), e.mSecond.bits());
      answered += tree->verificationTraverse(q);
    }
  const double questions = static_cast<double>(state.iterations() * pairs.size());
  state.counters["true fraction"] = static_cast<double>(answered) / questions;
  state.SetItemsProcessed(static_cast<std::int64_t>(questions));
}

} // namespace

BENCHMARK(BM_Construction)->ArgsProduct({{0, 3, 5, 7}, {2000, 20000}});
BENCHMARK(BM_NarrowingSearch)->ArgsProduct({{0, 3, 5, 7}, {2000, 20000}});
BENCHMARK(BM_VerificationSearch)->ArgsProduct({{0, 7}, {2000, 20000}});

BENCHMARK_MAIN();
