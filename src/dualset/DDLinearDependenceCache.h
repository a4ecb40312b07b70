#ifndef DD_LINEARDEPENDENCECACHE_H
#define DD_LINEARDEPENDENCECACHE_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDSLESolver.h"
#include "dualset/DDLinearDependenceVector.h"

#include <cstdint>
#include <string>
#include <vector>

namespace double_description {

// The run's store of linear-dependence certificates, one list per row after
// the basis. The certificates one ray needs are computed together by a single
// elimination of the transposed system of its primary set.
class LinearDependenceCache final {
public:
  explicit LinearDependenceCache(Matrix const& working);
  LinearDependenceCache(LinearDependenceCache const&) = delete;
  LinearDependenceCache& operator=(LinearDependenceCache const&) = delete;

  // The first stored certificate of row r whose support lies in primary, or a
  // new pending one computed by the next update(). The caller counts its
  // reference.
  LinearDependenceEntry* getLinearDependenceEntry(BitList const& primary, unsigned long r);
  // Computes every pending entry; nothing to do on a clean store.
  void update();
  // Frees the unreferenced entries of the rows before step.
  void releaseUnusedReferences(unsigned short step);

  bool isDirty() const { return mDirty; }
  std::uint64_t pendingCount() const { return mPending.size(); }
  // The list of row r, from the first row after the basis on.
  LinearDependenceVector const& certificatesOf(unsigned long r) const {
    return mVectors[r - mWorkingMatrix->getColumns()];
  }
  SLESolver const& solver() const { return mSolver; }
  std::uint64_t getSize() const;
  std::string toString() const;

private:
  Matrix const* mWorkingMatrix;
  SLESolver mSolver;
  bool mDirty;
  std::vector<LinearDependenceVector> mVectors;
  // The pending entries, computed last first; each is the last of its list.
  std::vector<LinearDependenceEntry*> mPending;
};

} // namespace double_description

#endif
