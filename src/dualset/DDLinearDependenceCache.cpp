#include "dualset/DDLinearDependenceCache.h"

#include "core/DDUtilsFactory.h"

#include <memory>
#include <sstream>

namespace double_description {

LinearDependenceCache::LinearDependenceCache(Matrix const& working,
                                             LinearDependenceCache const& base)
    : LinearDependenceCache(working) {
  mBase = &base;
}

LinearDependenceCache::~LinearDependenceCache() {
  if (mBase != nullptr)
    clearDrafts();
}

LinearDependenceCache::LinearDependenceCache(Matrix const& working)
    : mWorkingMatrix(&working), mMachine(working), mFast(mMachine, working.getColumns()),
      mSolver(working.getColumns(), working.getRowCount(),
              BitList::wordsFor(working.getRowCount())),
      mPrimary(BitList::wordsFor(working.getRowCount())),
      mSupport(BitList::wordsFor(working.getRowCount())) {
  const unsigned d = working.getColumns();
  const unsigned m = working.getRowCount();
  // Entries point at their row's list, so the lists must never move.
  if (m > d)
    mVectors.reserve(m - d);
  for (unsigned r = d; r < m; ++r)
    mVectors.emplace_back(r, d > 0 ? d - 1 : 0);
  mValues.resize(d + 1);
  mExactValues.resize(d + 1);
  mRows.resize(d);
}

LinearDependenceEntry* LinearDependenceCache::getLinearDependenceEntry(BitList const& primary,
                                                                       std::uint64_t signature,
                                                                       unsigned long r) {
  DD_ASSERT(signature == LinearDependenceVector::signatureOf(primary));
  const unsigned long i = r - mWorkingMatrix->getColumns();
  if (mBase != nullptr)
    if (LinearDependenceEntry* e = mBase->mVectors[i].find(primary, signature))
      return e;
  LinearDependenceVector& v = mVectors[i];
  if (LinearDependenceEntry* e = v.find(primary, signature))
    return e;
  LinearDependenceEntry* e =
      v.adopt(std::make_unique<LinearDependenceEntry>(static_cast<unsigned>(r)));
  if (mPending.empty())
    mPrimary = primary;
  DD_ASSERT(mPrimary == primary);
  mPending.push_back(e);
  return e;
}

void LinearDependenceCache::update() {
  if (mPending.empty())
    return;
  if (!computeFast())
    computeExactly();
  for (LinearDependenceEntry* e : mPending)
    e->owner()->appendPattern(*e);
  mPending.clear();
}

bool LinearDependenceCache::computeFast() {
  if (!mFast.prepare(mPrimary))
    return false;
  const unsigned n = mFast.setSize();
  // All values first, so that a failure leaves every entry pending.
  std::vector<std::int64_t>& values = mValues;
  values.resize((n + 1) * mPending.size());
  for (std::size_t i = 0; i < mPending.size(); ++i)
    if (!mFast.certify(mPending[i]->row(), &values[i * (n + 1)]))
      return false;
  for (std::size_t i = 0; i < mPending.size(); ++i)
    mPending[i]->assign(mFast.setRows(), n, &values[i * (n + 1)]);
  return true;
}

void LinearDependenceCache::computeExactly() {
  // The transposed system: the primary rows, then the pending rows, as
  // columns; one forward and one backward elimination serve them all.
  mSolver.load(*mWorkingMatrix, mPrimary);
  for (LinearDependenceEntry* e : mPending)
    mSolver.load(*mWorkingMatrix, e->row());
  mSolver.transformToUpperTriangularMatrix();
  const unsigned R = mSolver.getRowsInUse();
  for (unsigned p = R; p-- > 0;)
    if (sgn(mSolver.row(p)[p]) != 0)
      mSolver.eliminateColumnUp(0, p + 1, p);
  mSolver.prepare_for_output(R - 1);

  unsigned n = 0;
  mSolver.mLoadedSet.forEachSetBit([&](std::uint64_t j) { mRows[n++] = static_cast<unsigned>(j); });
  const unsigned first = mSolver.getColsInUse() - static_cast<unsigned>(mPending.size());
  for (std::size_t k = 0; k < mPending.size(); ++k) {
    const unsigned c = first + static_cast<unsigned>(k);
    // One column and a zero row: no primary row to pivot on, and 1 * a_r = 0.
    mExactValues[0] = n == 0 ? mpz_class(1) : mSolver.row(0)[0];
    for (unsigned i = 0; i < n; ++i)
      mExactValues[i + 1] = mSolver.row(i)[c];
    mPending[k]->assign(mRows.data(), n, mExactValues.data());
  }
}

void LinearDependenceCache::releaseUnusedReferences(unsigned short step) {
  const std::uint32_t d = mWorkingMatrix->getColumns();
  for (std::uint16_t i = 0; static_cast<std::uint32_t>(i) + d < step; ++i)
    mVectors[i].freeUnused();
}

LinearDependenceEntry* LinearDependenceCache::adopt(LinearDependenceEntry* e) {
  LinearDependenceVector& v = mVectors[e->row() - mWorkingMatrix->getColumns()];
  if (e->owner() == &v)
    return e;
  if (!mReplaced.empty()) {
    const auto replaced = mReplaced.find(e);
    if (replaced != mReplaced.end())
      return replaced->second;
  }
  // A row has one certificate per support, so one whose support lies in e's
  // has e's values.
  mSupport.clear();
  for (unsigned k = 0; k < e->supportSize(); ++k)
    mSupport.set(e->supportRow(k));
  if (LinearDependenceEntry* first =
          v.find(mSupport, LinearDependenceVector::signatureOf(mSupport))) {
    mReplaced.emplace(e, first);
    return first;
  }
  v.take(e);
  return e;
}

void LinearDependenceCache::clearDrafts() {
  DD_ASSERT(mBase != nullptr);
  // Pending entries are left only by a failed update.
  mPending.clear();
  for (LinearDependenceVector& v : mVectors)
    v.clearDrafts();
}

std::uint64_t LinearDependenceCache::getSize() const {
  std::uint64_t size = 0;
  for (LinearDependenceVector const& v : mVectors)
    size += v.certificates().size();
  return size;
}

std::string LinearDependenceCache::toString() const {
  std::ostringstream out;
  for (std::size_t i = 0; i < mVectors.size(); ++i)
    out << "Cell " << i << ":" << mVectors[i].toString() << "\n";
  return out.str();
}

} // namespace double_description
