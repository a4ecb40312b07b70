#ifndef DD_COMBTESTTRAVERSEVISITOR_H
#define DD_COMBTESTTRAVERSEVISITOR_H

#include "iteration/DDSingleSetTraverseVisitor.h"
#include "trees/DDFaceBatch.h"
#include "trees/DDVerificationCondition.h"

#include <optional>

namespace double_description {

// A pair is adjacent when no third pattern of the verification tree contains
// its common zero set.
class CombTestTraverseVisitor final : public SingleSetTraverseVisitor {
public:
  CombTestTraverseVisitor(SearchTree const& tree, unsigned short threshold, unsigned short step,
                          unsigned short rowCount, SingleSetRayCache& cache,
                          SearchTree const* verTree)
      : SingleSetTraverseVisitor(tree, threshold, step, rowCount, cache), mVerTree(verTree) {}
  ~CombTestTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

  SearchTree const* mVerTree;

private:
  // The verification question of a candidate pair, of patterns stored and
  // query with the common face, rewritten in place for each pair.
  ExtVerificationCondition& question(BitList const& stored, BitList const& query,
                                     BitList const& face);

  std::optional<ExtVerificationCondition> mQuestion;
  // The pairs of the query being searched, where the tree is an image.
  std::optional<FaceBatch> mBatch;
};

} // namespace double_description

#endif
