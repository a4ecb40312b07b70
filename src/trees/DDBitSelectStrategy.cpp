#include "trees/DDBitSelectStrategy.h"

#include <algorithm>
#include <numeric>

#include "trees/DDBitCountVisitor.h"

namespace double_description {

namespace {
std::vector<unsigned int> identity(std::uint32_t n) {
  std::vector<unsigned int> order(n);
  std::iota(order.begin(), order.end(), 0u);
  return order;
}

double frequency(std::uint64_t population, std::uint64_t rayCount) {
  // Guards against 0/0; the sets are never empty where the strategies are built.
  return rayCount == 0 ? 0.0 : static_cast<double>(population) / static_cast<double>(rayCount);
}
} // namespace

std::vector<std::uint64_t>
BitSelectStrategy::createPopulationStats(RayReferenceContainer const& set) const {
  BitCountVisitor counter(static_cast<unsigned short>(mBitCount));
  set.iterate(counter);
  return counter.mCounts;
}

std::vector<unsigned int> FirstAvailableBitStrategy::createMapping() const {
  return identity(mBitCount);
}

std::vector<unsigned int> CommonBitStrategy::createMapping() const {
  const std::uint64_t target = getTargetValue(mPopulation);
  std::vector<std::uint64_t> distance(mBitCount);
  for (std::uint32_t x = 0; x < mBitCount; ++x) {
    const std::uint64_t p = mPopulation[x];
    distance[x] = p > target ? p - target : target - p;
  }
  std::vector<unsigned int> order = identity(mBitCount);
  // A total order, so sorting gives the same result as inserting bit by bit.
  if (closestToTarget())
    std::sort(order.begin(), order.end(), [&](unsigned int x, unsigned int y) {
      return distance[x] < distance[y] || (distance[x] == distance[y] && x > y);
    });
  else
    std::sort(order.begin(), order.end(), [&](unsigned int x, unsigned int y) {
      return distance[x] > distance[y] || (distance[x] == distance[y] && x < y);
    });
  return order;
}

std::uint64_t
MostCommonBitFirstStrategy::getTargetValue(std::vector<std::uint64_t> const& populations) const {
  return populations.empty() ? 0 : *std::max_element(populations.begin(), populations.end());
}

std::uint64_t
AverageBitStrategy::getTargetValue(std::vector<std::uint64_t> const& populations) const {
  if (populations.empty())
    return 0;
  std::uint64_t sum = 0;
  for (std::uint64_t p : populations)
    sum += p;
  return sum / populations.size();
}

std::vector<unsigned int> DifferentialBitStrategy::createMapping() const {
  std::vector<double> coeff(mBitCount);
  for (std::uint32_t x = 0; x < mBitCount; ++x)
    coeff[x] = getProbabilityCoeff(x, frequency(mPopulation[x], mRayCount),
                                   frequency(mSecondPopulation[x], mSecondRayCount));
  std::vector<unsigned int> order = identity(mBitCount);
  std::sort(order.begin(), order.end(), [&](unsigned int x, unsigned int y) {
    return coeff[x] > coeff[y] || (coeff[x] == coeff[y] && x > y);
  });
  return order;
}

} // namespace double_description
