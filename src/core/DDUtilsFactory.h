#ifndef DD_UTILSFACTORY_H
#define DD_UTILSFACTORY_H

#include "core/DDCalcModule.h"

namespace double_description {

class UtilsFactory {
public:
  // The scratch bank of the calling thread; nothing that uses it is
  // re-entrant. Inline, so every user sees its initialiser and none calls
  // through a weak TLS init symbol.
  static inline thread_local CalcModule CALC_UTILS;
};

} // namespace double_description

#endif
