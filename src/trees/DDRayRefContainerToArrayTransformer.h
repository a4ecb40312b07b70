#ifndef DD_RAYREFCONTAINERTOARRAYTRANSFORMER_H
#define DD_RAYREFCONTAINERTOARRAYTRANSFORMER_H

#include <cstdint>

#include "core/DDRayReference.h"

namespace double_description {

// Copies the references of a container into a new array in one pass. The array
// is handed over to whoever takes mArray; the visitor never frees it.
class RayRefContainerToArrayTransformer final : public RayRefVisitor {
public:
  explicit RayRefContainerToArrayTransformer(std::uint32_t count)
      : mArray(new RayReference[count]), mIndex(0) {}

  bool hasFinished() const override { return true; }
  void onStart() override {
    mState = 1;
    mIndex = 0;
  }
  void onVisit(RayReference const& reference) override { mArray[mIndex++] = reference; }

  RayReference* mArray;
  std::uint64_t mIndex;
};

} // namespace double_description

#endif
