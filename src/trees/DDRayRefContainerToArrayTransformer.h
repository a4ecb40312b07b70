#ifndef DD_RAYREFCONTAINERTOARRAYTRANSFORMER_H
#define DD_RAYREFCONTAINERTOARRAYTRANSFORMER_H

#include <cstdint>
#include <memory>

#include "core/DDRayReference.h"

namespace double_description {

// Copies the references of a container into a new array in one pass; the
// array goes to whoever takes it with release().
class RayRefContainerToArrayTransformer final : public RayRefVisitor {
public:
  explicit RayRefContainerToArrayTransformer(std::uint32_t count)
      : mArray(std::make_unique<RayReference[]>(count)), mIndex(0) {}

  std::unique_ptr<RayReference[]> release() { return std::move(mArray); }

  bool hasFinished() const override { return true; }
  void onStart() override {
    mState = 1;
    mIndex = 0;
  }
  void onVisit(RayReference const& reference) override { mArray[mIndex++] = reference; }

private:
  std::unique_ptr<RayReference[]> mArray;
  std::uint64_t mIndex;
};

} // namespace double_description

#endif
