#ifndef DD_UTILSFACTORY_H
#define DD_UTILSFACTORY_H

#include "core/DDCalcModule.h"

namespace double_description {

class UtilsFactory {
public:
  // The process-wide scratch bank; nothing that uses it is re-entrant.
  static CalcModule CALC_UTILS;
};

} // namespace double_description

#endif
