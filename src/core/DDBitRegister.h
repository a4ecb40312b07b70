#ifndef DD_BITREGISTER_H
#define DD_BITREGISTER_H

#include "core/DDBitList.h"

namespace double_description {

// A scratch bit set with the representation and resizing of BitList; default
// construction gives one zero word so arrays of registers can be sized later.
class BitRegister : public BitList {
public:
  BitRegister() = default;
  explicit BitRegister(unsigned long n) : BitList(n) {}
};

} // namespace double_description

#endif
