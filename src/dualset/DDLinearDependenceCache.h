#ifndef DD_LINEARDEPENDENCECACHE_H
#define DD_LINEARDEPENDENCECACHE_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDSLESolver.h"
#include "dualset/DDLinearDependenceVector.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace double_description {

// The run's store of linear-dependence certificates, one list per row after
// the basis. The certificates one ray needs are computed together by a single
// elimination of the transposed system of its primary set.
class LinearDependenceCache {
public:
  explicit LinearDependenceCache(Matrix const& working);
  LinearDependenceCache(LinearDependenceCache const&) = delete;
  LinearDependenceCache& operator=(LinearDependenceCache const&) = delete;
  ~LinearDependenceCache();

  // The first stored certificate of row r whose support lies in primary, or a
  // new pending one computed by the next update(). The caller counts its
  // reference.
  LinearDependenceEntry* getLinearDependenceEntry(BitList const& primary, unsigned long r);
  // A new pending entry for row r relative to primary, with the solver loaded.
  LinearDependenceEntry* getEmptyLinearDependenceEntry(BitList const& primary, unsigned long r);
  // Computes every pending entry; nothing to do on a clean store.
  void update();
  // Frees the unreferenced entries of the rows before step.
  void releaseUnusedReferences(unsigned short step);

  bool isDirty() const { return mDirty; }
  std::uint64_t getSize() const;
  std::string toString() const;

  Matrix const* mWorkingMatrix;
  SLESolver mSolver;
  bool mDirty;
  std::vector<LinearDependenceVector> mVectors;
  std::deque<LinearDependenceEntry*> mPendingEntries;
  std::deque<std::uint64_t> mPendingVectors;
};

} // namespace double_description

#endif
