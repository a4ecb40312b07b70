#include "dualset/DDLinearDependenceCache.h"

#include "core/DDBitOps.h"
#include "core/DDUtilsFactory.h"

#include <algorithm>
#include <sstream>

namespace double_description {

namespace {
unsigned wordsFor(unsigned rows) { return rows == 0 ? 1 : (rows + 63) / 64; }
} // namespace

LinearDependenceCache::LinearDependenceCache(Matrix const& working)
    : mWorkingMatrix(&working),
      mSolver(working.getColumns(), working.getRowCount(), wordsFor(working.getRowCount())),
      mDirty(false) {
  const unsigned d = working.getColumns();
  const unsigned m = working.getRowCount();
  const unsigned words = wordsFor(m);
  // Entries point at their row's list, so the lists must never move.
  if (m > d)
    mVectors.reserve(m - d);
  for (unsigned r = d; r < m; ++r)
    mVectors.emplace_back(r, words);
}

LinearDependenceCache::~LinearDependenceCache() {
  for (LinearDependenceVector& v : mVectors)
    for (LinearDependenceEntry* e : v.mCertificates)
      delete e;
}

LinearDependenceEntry* LinearDependenceCache::getLinearDependenceEntry(BitList const& primary,
                                                                       unsigned long r) {
  const unsigned long index = r - mWorkingMatrix->getColumns();
  LinearDependenceVector& v = mVectors[index];
  const std::uint64_t n = v.mWordCount;
  std::uint64_t i = 0;
  for (std::uint64_t const* p = v.mScanBegin; p < v.mScanEnd; p += n, ++i)
    if (isSubset(p, primary.words(), n))
      return v.mCertificates[i];
  LinearDependenceEntry* e = getEmptyLinearDependenceEntry(primary, r);
  e->mOwner = &v;
  v.mCertificates.push_back(e);
  mPendingVectors.push_back(index);
  return e;
}

LinearDependenceEntry* LinearDependenceCache::getEmptyLinearDependenceEntry(BitList const& primary,
                                                                            unsigned long r) {
  auto* e = new LinearDependenceEntry(primary.wordCount(), r + 1);
  mPendingEntries.push_back(e);
  if (!mDirty) {
    mSolver.load(*mWorkingMatrix, primary);
    mDirty = true;
  }
  mSolver.load(*mWorkingMatrix, static_cast<unsigned>(r));
  return e;
}

void LinearDependenceCache::update() {
  if (!mDirty)
    return;
  mSolver.transformToUpperTriangularMatrix();
  const unsigned R = mSolver.getRowsInUse();
  for (unsigned p = R; p-- > 0;)
    if (sgn(mSolver.row(p)[p]) != 0)
      mSolver.eliminateColumnUp(0, p + 1, p);
  mSolver.prepare_for_output(R - 1);
  mDirty = false;

  BitList const& loaded = mSolver.mLoadedSet;
  mpz_class& g = UtilsFactory::CALC_UTILS.accumulator();
  while (!mPendingEntries.empty()) {
    LinearDependenceEntry& e = *mPendingEntries.back();
    const unsigned c = mSolver.getColsInUse() - 1;
    e.mValues[0] = mSolver.row(0)[0];
    g = e.mValues[0];
    unsigned i = 0;
    std::uint64_t* support = e.mSupport.words();
    const std::uint64_t* words = loaded.words();
    for (std::uint64_t w = 0; w < loaded.wordCount(); ++w) {
      for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1, ++i) {
        mpz_class const& y = mSolver.row(i)[c];
        if (sgn(y) == 0)
          continue;
        const std::uint64_t j = 64 * w + __builtin_ctzll(bits);
        setBit(support, j);
        e.mPosition[j] = static_cast<std::uint8_t>(e.mValues.size());
        e.mValues.push_back(y);
        mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), y.get_mpz_t());
      }
    }
    if (sgn(g) == 0) {
      // One column and a zero row: no primary row to pivot on, and 1 * a_r = 0.
      e.mValues[0] = 1;
    } else if (mpz_cmp_ui(g.get_mpz_t(), 1) != 0) {
      for (mpz_class& value : e.mValues)
        mpz_divexact(value.get_mpz_t(), value.get_mpz_t(), g.get_mpz_t());
    }
    mSolver.setColsInUse(c);
    mVectors[mPendingVectors.back()].appendPattern(support);
    mPendingVectors.pop_back();
    mPendingEntries.pop_back();
  }
}

void LinearDependenceCache::releaseUnusedReferences(unsigned short step) {
  const std::uint32_t d = mWorkingMatrix->getColumns();
  for (std::uint16_t i = 0; static_cast<std::uint32_t>(i) + d < step; ++i) {
    LinearDependenceVector& v = mVectors[i];
    // A list none of whose counts has fallen to 0 would be rebuilt as it is.
    if (!v.mHasUnused)
      continue;
    v.mHasUnused = false;
    // Kept entries move up over the freed ones, their patterns with them.
    const std::uint64_t n = v.mWordCount;
    std::uint64_t* patterns = v.mPatterns.data();
    std::size_t kept = 0;
    for (std::size_t j = 0; j < v.mCertificates.size(); ++j) {
      LinearDependenceEntry* e = v.mCertificates[j];
      if (e->mRefCount == 0) {
        delete e;
        continue;
      }
      if (kept != j) {
        std::copy(patterns + n * j, patterns + n * (j + 1), patterns + n * kept);
        v.mCertificates[kept] = e;
      }
      ++kept;
    }
    v.mCertificates.resize(kept);
    v.mPatterns.resize(n * kept);
    v.resetScanRange();
  }
}

std::uint64_t LinearDependenceCache::getSize() const {
  std::uint64_t size = 0;
  for (LinearDependenceVector const& v : mVectors)
    size += v.mCertificates.size();
  return size;
}

std::string LinearDependenceCache::toString() const {
  std::ostringstream out;
  for (std::size_t i = 0; i < mVectors.size(); ++i)
    out << "Cell " << i << ":" << mVectors[i].toString() << "\n";
  return out.str();
}

} // namespace double_description
