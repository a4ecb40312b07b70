#ifndef DD_BITSELECTSTRATEGY_H
#define DD_BITSELECTSTRATEGY_H

#include <cstdint>
#include <vector>

#include "core/DDRayReferenceContainer.h"

namespace double_description {

// Computes, once per tree, the order in which the split bits 0..N-1 are tried,
// from the per-bit populations of a reference set.
class BitSelectStrategy {
public:
  virtual ~BitSelectStrategy() = default;
  virtual std::vector<unsigned int> createMapping() const = 0;

  std::vector<std::uint64_t> createPopulationStats(RayReferenceContainer const& set) const;

  std::uint64_t mRayCount;
  std::uint32_t mBitCount;
  std::vector<std::uint64_t> mPopulation;

protected:
  explicit BitSelectStrategy(unsigned int bitCount)
      : mRayCount(0), mBitCount(bitCount), mPopulation(bitCount, 0) {}
  BitSelectStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : mRayCount(set.size()), mBitCount(bitCount), mPopulation(createPopulationStats(set)) {}
};

// The bits in index order.
class FirstAvailableBitStrategy final : public BitSelectStrategy {
public:
  explicit FirstAvailableBitStrategy(unsigned int bitCount) : BitSelectStrategy(bitCount) {}
  std::vector<unsigned int> createMapping() const override;
};

// Orders the bits by the distance of their population from a target value.
class CommonBitStrategy : public BitSelectStrategy {
public:
  std::vector<unsigned int> createMapping() const override;
  virtual std::uint64_t getTargetValue(std::vector<std::uint64_t> const& populations) const = 0;
  // True: closest to the target first; false: farthest first.
  virtual bool closestToTarget() const { return true; }

protected:
  CommonBitStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : BitSelectStrategy(set, bitCount) {}
};

class MostCommonBitFirstStrategy final : public CommonBitStrategy {
public:
  MostCommonBitFirstStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : CommonBitStrategy(set, bitCount) {}
  std::uint64_t getTargetValue(std::vector<std::uint64_t> const& populations) const override;
};

class LeastCommonBitFirstStrategy final : public CommonBitStrategy {
public:
  LeastCommonBitFirstStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : CommonBitStrategy(set, bitCount) {}
  std::uint64_t getTargetValue(std::vector<std::uint64_t> const&) const override { return 0; }
};

// Target: the truncated mean population.
class AverageBitStrategy : public CommonBitStrategy {
public:
  std::uint64_t getTargetValue(std::vector<std::uint64_t> const& populations) const override;

protected:
  AverageBitStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : CommonBitStrategy(set, bitCount) {}
};

class MostAverageBitFirstStrategy final : public AverageBitStrategy {
public:
  MostAverageBitFirstStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : AverageBitStrategy(set, bitCount) {}
};

class LeastAverageBitFirstStrategy final : public AverageBitStrategy {
public:
  LeastAverageBitFirstStrategy(RayReferenceContainer const& set, unsigned int bitCount)
      : AverageBitStrategy(set, bitCount) {}
  bool closestToTarget() const override { return false; }
};

// Orders the bits by a coefficient of their frequencies in two sets, highest first.
class DifferentialBitStrategy : public BitSelectStrategy {
public:
  std::vector<unsigned int> createMapping() const override;
  virtual double getProbabilityCoeff(unsigned long bit, double p1, double p2) const = 0;

  std::uint64_t mSecondRayCount;
  std::vector<std::uint64_t> mSecondPopulation;

protected:
  DifferentialBitStrategy(RayReferenceContainer const& first, RayReferenceContainer const& second,
                          unsigned int bitCount)
      : BitSelectStrategy(first, bitCount), mSecondRayCount(second.size()),
        mSecondPopulation(createPopulationStats(second)) {}
};

// Frequency among the queries minus frequency among the tree's own set.
class NarrowQueryBitsNeutralizationStrategy final : public DifferentialBitStrategy {
public:
  NarrowQueryBitsNeutralizationStrategy(RayReferenceContainer const& first,
                                        RayReferenceContainer const& second, unsigned int bitCount)
      : DifferentialBitStrategy(first, second, bitCount) {}
  double getProbabilityCoeff(unsigned long, double p1, double p2) const override { return p2 - p1; }
};

// The smaller of the two frequencies, or 0 when that exceeds 0.6.
class VerQueryBitsNeutralizationStrategy final : public DifferentialBitStrategy {
public:
  VerQueryBitsNeutralizationStrategy(RayReferenceContainer const& first,
                                     RayReferenceContainer const& second, unsigned int bitCount)
      : DifferentialBitStrategy(first, second, bitCount) {}
  double getProbabilityCoeff(unsigned long, double p1, double p2) const override {
    const double m = p1 < p2 ? p1 : p2;
    return m > 0.6 ? 0.0 : m;
  }
};

} // namespace double_description

#endif
