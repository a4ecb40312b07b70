#include "core/DDRayCoordinates.h"

#include "core/DDFreeListPool.h"
#include "core/DDRepresentationVector.h"

namespace double_description {

namespace {

// The blocks of machine values, each with its length in the word before them.
using ValuePool = FreeListPool<RayCoordinates>;

// Whether v fits the symmetric machine range |v| <= 2^63 - 1.
bool fitsMachine(mpz_class const& v) {
  return mpz_fits_slong_p(v.get_mpz_t()) && mpz_cmp_si(v.get_mpz_t(), INT64_MIN) != 0;
}

} // namespace

MachineValues makeMachineValues(unsigned d) {
  auto* block = static_cast<std::int64_t*>(ValuePool::take(d + 1));
  block[0] = d;
  for (unsigned j = 1; j <= d; ++j)
    block[j] = 0;
  return MachineValues(block + 1);
}

void PooledValuesDelete::operator()(std::int64_t* values) const {
  ValuePool::give(values - 1, static_cast<std::size_t>(values[-1]) + 1);
}

RayCoordinates::RayCoordinates(MachineValues values, unsigned d)
    : mMachine(std::move(values)), mSize(static_cast<std::uint16_t>(d)) {
  measure();
}

RayCoordinates::RayCoordinates(std::unique_ptr<mpz_class[]> values, unsigned d)
    : mSize(static_cast<std::uint16_t>(d)) {
  bool fits = true;
  for (unsigned j = 0; j < d && fits; ++j)
    fits = fitsMachine(values[j]);
  if (!fits) {
    mExact = std::move(values);
    return;
  }
  mMachine = makeMachineValues(d);
  for (unsigned j = 0; j < d; ++j)
    mMachine[j] = mpz_get_si(values[j].get_mpz_t());
  measure();
}

RayCoordinates::RayCoordinates(RepresentationVector const& x) {
  const unsigned d = x.mLength;
  auto values = std::make_unique<mpz_class[]>(d);
  for (unsigned j = 0; j < d; ++j)
    if (x.mPosition[j] != 0)
      values[j] = x.mValues[x.mPosition[j] - 1];
  *this = RayCoordinates(std::move(values), d);
}

void RayCoordinates::measure() {
  std::uint64_t all = 0;
  for (unsigned j = 0; j < mSize; ++j) {
    const std::int64_t v = mMachine[j];
    DD_ASSERT(v != INT64_MIN);
    all |= static_cast<std::uint64_t>(v < 0 ? -v : v);
  }
  mBits = static_cast<std::uint8_t>(all == 0 ? 0 : 64 - __builtin_clzll(all));
}

mpz_class RayCoordinates::get(unsigned j) const {
  DD_ASSERT(j < mSize);
  if (isMachine())
    return mpz_class(static_cast<long>(mMachine[j]));
  return mExact[j];
}

} // namespace double_description
