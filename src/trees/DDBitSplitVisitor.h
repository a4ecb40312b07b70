#ifndef DD_BITSPLITVISITOR_H
#define DD_BITSPLITVISITOR_H

#include <cstdint>
#include <memory>

#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDWorkerPool.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVantagePointPreliminaryCondition.h"

namespace double_description {

// Distributes a reference set into buckets while a tree is built. A visitor
// may hand the buckets it cannot split on to the owned chain of successors.
class BitSplitVisitor : public RayRefVisitor {
public:
  BitSplitVisitor(unsigned short maxDepth, unsigned short leafCapacity)
      : mDepth(0), mMaxDepth(maxDepth), mLeafCapacity(leafCapacity), mBuckets(nullptr),
        mBucketCount(2), mVisited(-1), mRayCount(0) {}
  BitSplitVisitor(BitSplitVisitor const&) = delete;
  BitSplitVisitor& operator=(BitSplitVisitor const&) = delete;
  ~BitSplitVisitor() override = default;

  // Empties every bucket for a new pass.
  void onStart() override;
  void onVisit(RayReference const&) override {
    mState = 2;
    ++mVisited;
  }

  // Opens and closes one level of the construction.
  virtual void before(RayReferenceContainer const& set) {
    ++mDepth;
    mRayCount = set.size();
  }
  virtual void after() { --mDepth; }
  // Files the references of set into the buckets: the passes of iterate.
  virtual void distribute(RayReferenceContainer const& set) { set.iterate(*this); }
  // The same for a set no longer needed once distributed, which it may
  // leave empty.
  virtual void distributeOwned(RayReferenceContainer& set) { distribute(set); }
  // May bucket i of the current distribution be split further by this visitor?
  virtual bool can_proceed(unsigned short) const { return true; }
  // Could this visitor, as a successor, split the set?
  virtual bool can_proceed(RayReferenceContainer const&) const { return true; }
  virtual PreliminaryCondition* createNarrowingCondition(unsigned short bucket,
                                                         unsigned short threshold) const;
  virtual void refineCondition(unsigned int bucket, unsigned short threshold,
                               VantagePointPreliminaryCondition& condition) const;
  // Does a split that leaves the set as it was split it alike on the next
  // level? Then the levels down to the depth limit are all alike.
  virtual bool repeatsUnchangedSplit() const { return false; }
  // True when the trees of this visitor have vantage-point conditions.
  virtual bool supportsExtendedCondition() { return false; }
  // A visitor in this one's state, without buckets or successors, that
  // builds a subtree on another thread exactly as this one would; null
  // where the visitor has no such copy.
  virtual std::unique_ptr<BitSplitVisitor> copyState() const { return nullptr; }
  // The copy of this visitor and its chain of successors, or null.
  std::unique_ptr<BitSplitVisitor> copyChain() const;

  bool hasSuccessorToProceed(RayReferenceContainer const& set) const {
    return successorFor(set) != nullptr;
  }
  // The first successor in the chain that can split the set, or null.
  BitSplitVisitor* successorFor(RayReferenceContainer const& set) const {
    for (BitSplitVisitor* v = mSuccessor.get(); v != nullptr; v = v->mSuccessor.get())
      if (v->can_proceed(set))
        return v;
    return nullptr;
  }

  BitSplitVisitor* successor() const { return mSuccessor.get(); }
  void setSuccessor(std::unique_ptr<BitSplitVisitor> successor) {
    mSuccessor = std::move(successor);
  }

  std::uint16_t mDepth;
  std::uint16_t mMaxDepth;
  std::uint16_t mLeafCapacity;
  RayReferenceContainer* mBuckets; // not owned
  std::uint16_t mBucketCount;
  std::int64_t mVisited;
  std::uint64_t mRayCount;
  // Threads that may share the filing of large sets, or null; never copied.
  WorkerPool* mWorkers = nullptr;

protected:
  struct StateOf {};
  // The state of other, for copyState.
  BitSplitVisitor(BitSplitVisitor const& other, StateOf)
      : RayRefVisitor(other), mDepth(other.mDepth), mMaxDepth(other.mMaxDepth),
        mLeafCapacity(other.mLeafCapacity), mBuckets(nullptr), mBucketCount(other.mBucketCount),
        mVisited(other.mVisited), mRayCount(other.mRayCount) {}

private:
  std::unique_ptr<BitSplitVisitor> mSuccessor;
};

} // namespace double_description

#endif
