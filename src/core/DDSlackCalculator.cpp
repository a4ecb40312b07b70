#include "core/DDSlackCalculator.h"

#include <memory>
#include <utility>

namespace double_description {

namespace {

__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

constexpr std::int64_t MACHINE_MAX = INT64_MAX;

UWide magnitude(Wide v) { return v < 0 ? UWide(0) - static_cast<UWide>(v) : static_cast<UWide>(v); }

unsigned trailingZeros(UWide v) {
  const auto low = static_cast<std::uint64_t>(v);
  return low != 0
             ? static_cast<unsigned>(__builtin_ctzll(low))
             : 64 + static_cast<unsigned>(__builtin_ctzll(static_cast<std::uint64_t>(v >> 64)));
}

// Binary, as a 128-bit division is a library call; in 64 bits where both fit.
UWide gcd(UWide x, UWide y) {
  if ((x >> 64) == 0 && (y >> 64) == 0)
    return gcdUnsigned(static_cast<std::uint64_t>(x), static_cast<std::uint64_t>(y));
  if (x == 0 || y == 0)
    return x | y;
  const unsigned shift = trailingZeros(x | y);
  x >>= trailingZeros(x);
  do {
    y >>= trailingZeros(y);
    if (x > y)
      std::swap(x, y);
    y -= x;
  } while (y != 0);
  return x << shift;
}

void assign(mpz_class& out, Wide v) {
  const UWide m = magnitude(v);
  const std::uint64_t high = static_cast<std::uint64_t>(m >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(m);
  mpz_set_ui(out.get_mpz_t(), high);
  mpz_mul_2exp(out.get_mpz_t(), out.get_mpz_t(), 64);
  mpz_add_ui(out.get_mpz_t(), out.get_mpz_t(), low);
  if (v < 0)
    mpz_neg(out.get_mpz_t(), out.get_mpz_t());
}

// a . x exactly, for a row and coordinates in any form.
void exactProduct(CalculationVector const& row, RayCoordinates const& x, mpz_class& out) {
  thread_local mpz_class product;
  mpz_set_ui(out.get_mpz_t(), 0);
  const unsigned d = x.size();
  if (x.isMachine()) {
    std::int64_t const* v = x.machine();
    for (unsigned j = 0; j < d; ++j)
      if (v[j] != 0) {
        mpz_mul_si(product.get_mpz_t(), row[j].get_mpz_t(), v[j]);
        mpz_add(out.get_mpz_t(), out.get_mpz_t(), product.get_mpz_t());
      }
    return;
  }
  mpz_class const* v = x.exact();
  for (unsigned j = 0; j < d; ++j)
    mpz_addmul(out.get_mpz_t(), row[j].get_mpz_t(), v[j].get_mpz_t());
}

} // namespace

SlackCalculator::SlackCalculator(Matrix const& working)
    : mWorking(working), mMachine(working), mRowCount(working.getRowCount()),
      mColumns(working.getColumns()), mRowBits(working.getRowCount(), NO_MACHINE_ROW), mSumBits(0) {
  while ((1u << mSumBits) < mColumns)
    ++mSumBits;
  for (unsigned k = 0; k < mRowCount; ++k) {
    std::int64_t const* row = mMachine.row(k);
    if (row == nullptr)
      continue;
    std::uint64_t all = 0;
    bool symmetric = true;
    for (unsigned j = 0; j < mColumns; ++j) {
      symmetric = symmetric && row[j] != INT64_MIN;
      all |=
          row[j] < 0 ? 0 - static_cast<std::uint64_t>(row[j]) : static_cast<std::uint64_t>(row[j]);
    }
    if (symmetric)
      mRowBits[k] = static_cast<std::uint8_t>(all == 0 ? 0 : 64 - __builtin_clzll(all));
  }
}

bool SlackCalculator::machineSlack(unsigned k, RayCoordinates const& x, Wide& out) const {
  if (!x.isMachine() || mRowBits[k] == NO_MACHINE_ROW)
    return false;
  std::int64_t const* a = mMachine.row(k);
  std::int64_t const* v = x.machine();
  Wide sum = 0;
  // Every product is below 2^126 in magnitude; only their sum can overflow.
  if (mRowBits[k] + x.machineBits() + mSumBits <= 126) {
    for (unsigned j = 0; j < mColumns; ++j)
      sum += static_cast<Wide>(a[j]) * v[j];
  } else {
    for (unsigned j = 0; j < mColumns; ++j)
      if (__builtin_add_overflow(sum, static_cast<Wide>(a[j]) * v[j], &sum))
        return false;
  }
  out = sum;
  return true;
}

int SlackCalculator::sign(unsigned k, RayCoordinates const& x) const {
  Wide s;
  if (machineSlack(k, x, s))
    return s > 0 ? 1 : (s < 0 ? -1 : 0);
  thread_local mpz_class exact;
  exactProduct(mWorking.row(k), x, exact);
  return sgn(exact);
}

void SlackCalculator::slack(unsigned k, RayCoordinates const& x, mpz_class& out) const {
  Wide s;
  if (machineSlack(k, x, s))
    assign(out, s);
  else
    exactProduct(mWorking.row(k), x, out);
}

RayCoordinates SlackCalculator::combine(RayCoordinates const& p, RayCoordinates const& n,
                                        unsigned a) const {
  Wide pa, na;
  if (!machineSlack(a, p, pa) || !machineSlack(a, n, na))
    return combineExactly(p, n, a);
  DD_ASSERT(pa > 0 && na < 0);
  const UWide g = gcd(magnitude(pa), magnitude(na));
  const UWide cp = magnitude(pa) / g;
  const UWide cn = magnitude(na) / g;
  if (cp > static_cast<UWide>(MACHINE_MAX) || cn > static_cast<UWide>(MACHINE_MAX))
    return combineExactly(p, n, a);

  // (p_a / g) n - (n_a / g) p, a positive combination, then made primitive.
  const unsigned d = mColumns;
  Wide values[256];
  std::int64_t const* x = p.machine();
  std::int64_t const* y = n.machine();
  UWide content = 0;
  for (unsigned j = 0; j < d; ++j) {
    const Wide fromNegative = static_cast<Wide>(static_cast<std::int64_t>(cp)) * y[j];
    const Wide fromPositive = static_cast<Wide>(static_cast<std::int64_t>(cn)) * x[j];
    if (__builtin_add_overflow(fromNegative, fromPositive, &values[j]))
      return combineExactly(p, n, a);
    if (content != 1 && values[j] != 0)
      content = gcd(content, magnitude(values[j]));
  }
  DD_ASSERT(content != 0);
  MachineValues coordinates = makeMachineValues(d);
  for (unsigned j = 0; j < d; ++j) {
    const Wide v = values[j] / static_cast<Wide>(content);
    if (magnitude(v) > static_cast<UWide>(MACHINE_MAX))
      return combineExactly(p, n, a);
    coordinates[j] = static_cast<std::int64_t>(v);
  }
  return RayCoordinates(std::move(coordinates), d);
}

RayCoordinates SlackCalculator::combineExactly(RayCoordinates const& p, RayCoordinates const& n,
                                               unsigned a) const {
  mpz_class pa, na, g;
  slack(a, p, pa);
  slack(a, n, na);
  DD_ASSERT(sgn(pa) > 0 && sgn(na) < 0);
  mpz_gcd(g.get_mpz_t(), pa.get_mpz_t(), na.get_mpz_t());
  mpz_divexact(pa.get_mpz_t(), pa.get_mpz_t(), g.get_mpz_t());
  mpz_divexact(na.get_mpz_t(), na.get_mpz_t(), g.get_mpz_t());
  const unsigned d = mColumns;
  auto values = std::make_unique<mpz_class[]>(d);
  mpz_class content = 0;
  for (unsigned j = 0; j < d; ++j) {
    mpz_ptr v = values[j].get_mpz_t();
    mpz_mul(v, pa.get_mpz_t(), n.get(j).get_mpz_t());
    mpz_submul(v, na.get_mpz_t(), p.get(j).get_mpz_t());
    mpz_gcd(content.get_mpz_t(), content.get_mpz_t(), v);
  }
  DD_ASSERT(sgn(content) != 0);
  for (unsigned j = 0; j < d; ++j)
    mpz_divexact(values[j].get_mpz_t(), values[j].get_mpz_t(), content.get_mpz_t());
  return RayCoordinates(std::move(values), d);
}

unsigned SlackCalculator::markZeroRows(RayCoordinates const& x, unsigned from,
                                       BitList& zero) const {
  for (unsigned k = from; k < mRowCount; ++k) {
    const int s = sign(k, x);
    if (s < 0)
      return k;
    if (s == 0)
      zero.set(k);
  }
  return mRowCount;
}

} // namespace double_description
