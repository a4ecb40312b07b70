#ifndef DD_CERTIFICATESOLVER_H
#define DD_CERTIFICATESOLVER_H

#include "core/DDBitList.h"
#include "core/DDMachineMatrix.h"

#include <cstdint>
#include <vector>

namespace double_description {

// Certificates of rows over one independent set S of d - 1 rows, in machine
// integers. S is brought once to reduced form E * A_S = R, whose pivot
// columns J hold D times the identity; a row a_r in the span of S
// then satisfies D * a_r = sum over t of a_r[J_t] * (row t of E) * A_S, so its
// certificate costs one product with E. Every value is checked: the callers
// fall back to exact arithmetic when one does not fit.
class CertificateSolver {
public:
  // rows: the working matrix in machine integers, of d columns.
  CertificateSolver(MachineMatrix const& rows, unsigned d);
  CertificateSolver(CertificateSolver const&) = delete;
  CertificateSolver& operator=(CertificateSolver const&) = delete;

  // Reduces the independent set S of d - 1 rows; false when a row or a value
  // does not fit machine integers, and then certify() must not be called.
  bool prepare(BitList const& set);
  // The rows of S in increasing order.
  unsigned const* setRows() const { return mSetRows.data(); }
  unsigned setSize() const { return static_cast<unsigned>(mSetRows.size()); }
  // values[0] * a_r = sum over i of values[i + 1] * a_(setRows()[i]) for a
  // row r in the span of S, with values[0] = D, not yet made primitive; false
  // when a value does not fit.
  bool certify(unsigned r, std::int64_t* values) const;

private:
  std::int64_t& at(unsigned i, unsigned j) { return mReduced[i * mWidth + j]; }
  std::int64_t at(unsigned i, unsigned j) const { return mReduced[i * mWidth + j]; }

  MachineMatrix const& mRows;
  unsigned mColumns;
  // d + (d - 1): the rows of S beside the identity that becomes E.
  unsigned mWidth;
  std::vector<std::int64_t> mReduced;
  std::vector<unsigned> mSetRows;
  std::vector<unsigned> mPivotColumns;
  // The value of each row at its pivot column, during the reduction.
  std::vector<std::int64_t> mPivotValues;
  std::int64_t mDeterminant = 1;
  // The largest magnitude in E.
  std::uint64_t mLargestE = 0;
};

} // namespace double_description

#endif
