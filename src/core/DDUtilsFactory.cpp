#include "core/DDUtilsFactory.h"

namespace double_description {

thread_local CalcModule UtilsFactory::CALC_UTILS;

} // namespace double_description
