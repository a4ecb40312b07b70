#ifndef DD_RAYREFMODIFIER_H
#define DD_RAYREFMODIFIER_H

#include "core/DDRayReference.h"

namespace double_description {

class RayRefModifier {
public:
  virtual void modify(RayReference& ref) const = 0;

protected:
  ~RayRefModifier() = default;
};

// Deletes the referenced ray; used on the references that own their rays.
template <class R> class RayRefReleaseVisitor final : public RayRefModifier {
public:
  void modify(RayReference& ref) const override { delete ref.ray<R>(); }
};

} // namespace double_description

#endif
