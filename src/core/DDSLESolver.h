#ifndef DD_SLESOLVER_H
#define DD_SLESOLVER_H

#include <cstdint>

#include "core/DDBitList.h"
#include "core/DDCalculationMatrix.h"

namespace double_description {

// A workspace loaded with matrix rows as its columns (the transposed system),
// plus single rows as further columns, then triangularised and normalised to
// a common diagonal value.
class SLESolver : public CalculationMatrix {
public:
  SLESolver(unsigned rows, unsigned cols, unsigned words)
      : CalculationMatrix(rows, cols), mLoadedSet(words), mSetWords(words) {}
  ~SLESolver() override = default;

  // Matrix is named in full below: as a private base of CalculationMatrix its
  // plain name is inaccessible here.
  // The rows of m named by set become the solver's columns 0 .. |set| - 1.
  void load(double_description::Matrix const& m, BitList const& set);
  // Row r of m becomes one more column.
  void load(double_description::Matrix const& m, unsigned r);

  // Keeps getColumns() - 1 rows, then drops trailing rows with a zero
  // diagonal together with the last column in use.
  void cut_zero_rows();
  // Scales every row with a nonzero diagonal so all such diagonals equal
  // their lcm; columns from first on are scaled with it.
  void prepare_for_output(unsigned first);

  BitList mLoadedSet;
  std::uint32_t mSetWords;
};

} // namespace double_description

#endif
