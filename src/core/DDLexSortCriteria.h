#ifndef DD_LEXSORTCRITERIA_H
#define DD_LEXSORTCRITERIA_H

#include "core/DDCalculationVector.h"

namespace double_description {

// Row comparators; each reads as many entries of b as a has.
class SortCriteria {
public:
  virtual int cmp(CalculationVector const& a, CalculationVector const& b) const = 0;

protected:
  ~SortCriteria() = default;
};

// Exact lexicographic order.
class LexSortCriteria final : public SortCriteria {
public:
  int cmp(CalculationVector const& a, CalculationVector const& b) const override;
};

// Orders by number of zero entries: 1 when a has more zeros than b.
class ZeroSortCriteria final : public SortCriteria {
public:
  int cmp(CalculationVector const& a, CalculationVector const& b) const override;
};

} // namespace double_description

#endif
