#ifndef DD_LINEARDEPENDENCECACHE_H
#define DD_LINEARDEPENDENCECACHE_H

#include "core/DDBitList.h"
#include "core/DDMachineMatrix.h"
#include "core/DDMatrix.h"
#include "core/DDSLESolver.h"
#include "dualset/DDCertificateSolver.h"
#include "dualset/DDLinearDependenceVector.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace double_description {

// The run's store of linear-dependence certificates, one list per row after
// the basis. The certificates one ray needs are computed together, over its
// primary set: in machine integers by one reduction of that set, or, when a
// value does not fit, exactly by a single elimination of the transposed
// system.
//
// A draft store serves one thread of a pass over a store it leaves alone:
// lookups see that store's certificates and the draft's own, and new
// certificates stay in the draft until the store adopts them, in the order
// one thread would have made them.
class LinearDependenceCache final {
public:
  explicit LinearDependenceCache(Matrix const& working);
  // A draft store over base.
  LinearDependenceCache(Matrix const& working, LinearDependenceCache const& base);
  ~LinearDependenceCache();
  LinearDependenceCache(LinearDependenceCache const&) = delete;
  LinearDependenceCache& operator=(LinearDependenceCache const&) = delete;

  // The first stored certificate of row r whose support lies in primary, or a
  // new pending one computed by the next update(). The caller counts its
  // reference. All pending entries share one primary set.
  LinearDependenceEntry* getLinearDependenceEntry(BitList const& primary, unsigned long r) {
    return getLinearDependenceEntry(primary, LinearDependenceVector::signatureOf(primary), r);
  }
  // The same with signature = LinearDependenceVector::signatureOf(primary),
  // for callers that look up many rows of one set.
  LinearDependenceEntry* getLinearDependenceEntry(BitList const& primary, std::uint64_t signature,
                                                  unsigned long r);
  // Computes every pending entry; nothing to do on a clean store.
  void update();
  // Frees the unreferenced entries of the rows before step.
  void releaseUnusedReferences(unsigned short step);

  // The entry of this store that stands for e, a computed entry of this store
  // or of one of its drafts: a draft entry joins this store unless one of the
  // same row and support did so first, which then stands for it.
  LinearDependenceEntry* adopt(LinearDependenceEntry* e);
  // Ends the adoptions of a pass, once every draft has been cleared.
  void endAdoption() { mReplaced.clear(); }
  // On a draft store: lets go of the entries the base store adopted and
  // deletes the others.
  void clearDrafts();

  bool isDirty() const { return !mPending.empty(); }
  std::uint64_t pendingCount() const { return mPending.size(); }
  // The list of row r, from the first row after the basis on.
  LinearDependenceVector const& certificatesOf(unsigned long r) const {
    return mVectors[r - mWorkingMatrix->getColumns()];
  }
  SLESolver const& solver() const { return mSolver; }
  std::uint64_t getSize() const;
  std::string toString() const;

private:
  // The pending entries in machine integers; false, with none assigned, when
  // a value does not fit.
  bool computeFast();
  // The pending entries exactly.
  void computeExactly();

  Matrix const* mWorkingMatrix;
  LinearDependenceCache const* mBase = nullptr;
  MachineMatrix mMachine;
  CertificateSolver mFast;
  SLESolver mSolver;
  std::vector<LinearDependenceVector> mVectors;
  // The pending entries in creation order, and the primary set they share.
  std::vector<LinearDependenceEntry*> mPending;
  BitList mPrimary;
  // Scratch of one entry: its values and candidate support rows.
  std::vector<std::int64_t> mValues;
  std::vector<mpz_class> mExactValues;
  std::vector<unsigned> mRows;
  // Draft entries of the current adoptions that an earlier one stands for.
  std::unordered_map<LinearDependenceEntry const*, LinearDependenceEntry*> mReplaced;
  BitList mSupport;
};

} // namespace double_description

#endif
