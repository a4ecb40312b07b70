#ifndef DD_KEPTPATTERNS_H
#define DD_KEPTPATTERNS_H

#include <deque>
#include <utility>

#include "core/DDBitList.h"

// A pattern that outlives the references made of it (they share it, not
// copy it); kept until the test program ends.
inline double_description::BitList const& kept(double_description::BitList pattern) {
  static std::deque<double_description::BitList> patterns;
  patterns.push_back(std::move(pattern));
  return patterns.back();
}

#endif
