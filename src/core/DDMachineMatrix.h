#ifndef DD_MACHINEMATRIX_H
#define DD_MACHINEMATRIX_H

#include <cstdint>
#include <vector>

#include "core/DDMatrix.h"

namespace double_description {

// The logical rows of a matrix in 64-bit integers, for kernels that try
// machine arithmetic before exact arithmetic. A row with an entry outside
// the signed 64-bit range has no machine form.
class MachineMatrix {
public:
  explicit MachineMatrix(Matrix const& matrix);

  unsigned getColumns() const { return mColumns; }
  // Row i in machine integers, or null when it does not fit.
  const std::int64_t* row(unsigned i) const {
    return mFits[i] ? &mValues[static_cast<std::size_t>(i) * mColumns] : nullptr;
  }

private:
  unsigned mColumns;
  std::vector<std::int64_t> mValues;
  std::vector<bool> mFits;
};

} // namespace double_description

#endif
