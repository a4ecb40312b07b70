#include "core/DDUtilsFactory.h"

namespace double_description {

CalcModule UtilsFactory::CALC_UTILS;

} // namespace double_description
