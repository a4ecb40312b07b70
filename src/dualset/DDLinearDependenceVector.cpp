#include "dualset/DDLinearDependenceVector.h"

#include "core/DDFreeListPool.h"
#include "core/DDMachineMatrix.h"

#include <algorithm>
#include <sstream>

namespace double_description {

namespace {

using BlockPool = FreeListPool<LinearDependenceEntry>;

std::size_t wordsFor(std::size_t bytes) {
  return (bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
}

} // namespace

void* LinearDependenceEntry::operator new(std::size_t bytes) {
  return BlockPool::take(wordsFor(bytes));
}

void LinearDependenceEntry::operator delete(void* p, std::size_t bytes) {
  BlockPool::give(p, wordsFor(bytes));
}

LinearDependenceEntry::~LinearDependenceEntry() {
  if (mData != nullptr)
    BlockPool::give(mData, mWords);
}

void LinearDependenceEntry::allocate(unsigned n, bool machine) {
  DD_ASSERT(!isComputed());
  mSize = static_cast<std::uint16_t>(n);
  mMachine = machine;
  // One word at least, so that a computed entry always has a block.
  mWords = std::max(1u, (machine ? n + 1u : 0u) + (n + 3u) / 4u);
  mData = static_cast<std::uint64_t*>(BlockPool::take(mWords));
  std::fill(mData, mData + mWords, 0);
}

void LinearDependenceEntry::assign(unsigned const* rows, unsigned n, mpz_class const* values) {
  DD_ASSERT(sgn(values[0]) != 0);
  thread_local mpz_class g;
  g = values[0];
  unsigned size = 0;
  for (unsigned i = 0; i < n; ++i)
    if (sgn(values[i + 1]) != 0) {
      mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), values[i + 1].get_mpz_t());
      ++size;
    }
  const bool negate = sgn(values[0]) < 0;
  // The coprime values, and whether they fit machine integers.
  std::vector<mpz_class> reduced;
  reduced.reserve(size + 1u);
  bool machine = true;
  auto push = [&](mpz_class const& v) {
    reduced.emplace_back();
    mpz_divexact(reduced.back().get_mpz_t(), v.get_mpz_t(), g.get_mpz_t());
    if (negate)
      mpz_neg(reduced.back().get_mpz_t(), reduced.back().get_mpz_t());
    machine = machine && mpz_fits_slong_p(reduced.back().get_mpz_t()) &&
              mpz_cmp_si(reduced.back().get_mpz_t(), -INT64_MAX) >= 0;
  };
  push(values[0]);
  for (unsigned i = 0; i < n; ++i)
    if (sgn(values[i + 1]) != 0)
      push(values[i + 1]);

  allocate(size, machine);
  unsigned k = 0;
  for (unsigned i = 0; i < n; ++i)
    if (sgn(values[i + 1]) != 0)
      setSupportRow(k++, rows[i]);
  if (machine) {
    auto* out = reinterpret_cast<std::int64_t*>(mData);
    for (unsigned i = 0; i <= size; ++i)
      out[i] = mpz_get_si(reduced[i].get_mpz_t());
  } else {
    mExact.reset(new mpz_class[size + 1u]);
    for (unsigned i = 0; i <= size; ++i)
      mExact[i] = std::move(reduced[i]);
  }
}

void LinearDependenceEntry::assign(unsigned const* rows, unsigned n, std::int64_t const* values) {
  DD_ASSERT(values[0] != 0);
  std::uint64_t g = abs64(values[0]);
  unsigned size = 0;
  for (unsigned i = 0; i < n; ++i)
    if (values[i + 1] != 0) {
      if (g != 1)
        g = gcdUnsigned(g, abs64(values[i + 1]));
      ++size;
    }
  // Within the symmetric range g < 2^63, and the quotients stay in it.
  const auto divisor = static_cast<std::int64_t>(g);
  const std::int64_t sign = values[0] < 0 ? -1 : 1;
  allocate(size, true);
  auto* out = reinterpret_cast<std::int64_t*>(mData);
  out[0] = sign * (values[0] / divisor);
  unsigned k = 0;
  for (unsigned i = 0; i < n; ++i)
    if (values[i + 1] != 0) {
      out[k + 1] = sign * (values[i + 1] / divisor);
      setSupportRow(k++, rows[i]);
    }
}

void LinearDependenceEntry::value(unsigned i, mpz_class& out) const {
  DD_ASSERT(isComputed() && i <= mSize);
  if (mMachine)
    out = static_cast<long>(machineValues()[i]);
  else
    out = mExact[i];
}

// A list none of whose counts has fallen to 0 would be rebuilt as it is.
void LinearDependenceVector::compact() {
  DD_ASSERT(patternCount() == mCertificates.size());
  const std::size_t count = mCertificates.size();
  // Certificates mostly die young, so the first unreferenced one is sought
  // from the end: once as many are found as counts fell to 0, the ones
  // before are all referenced.
  std::size_t start = count;
  for (std::uint32_t found = 0; start > 0 && found < mUnused;)
    if (mCertificates[--start]->referenceCount() == 0)
      ++found;
  mUnused = 0;
  // Kept entries move up over the freed ones, their records with them.
  std::size_t kept = start;
  for (std::size_t j = start; j < count; ++j) {
    if (mCertificates[j]->referenceCount() == 0) {
      mCertificates[j].reset();
      continue;
    }
    if (kept != j) {
      mCertificates[kept] = std::move(mCertificates[j]);
      std::copy(mSupports.begin() + static_cast<std::ptrdiff_t>(j * mRecordWidth),
                mSupports.begin() + static_cast<std::ptrdiff_t>((j + 1) * mRecordWidth),
                mSupports.begin() + static_cast<std::ptrdiff_t>(kept * mRecordWidth));
      mSignatures[kept] = mSignatures[j];
    }
    ++kept;
  }
  mCertificates.resize(kept);
  mSupports.resize(kept * mRecordWidth);
  mSignatures.resize(kept);
}

std::string LinearDependenceVector::toString() const {
  std::ostringstream out;
  out << mCertificates.size() << " entries.";
  return out.str();
}

} // namespace double_description
