#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"

namespace tree_test {
namespace {

PlainLeaf* leaf(RayReferenceContainer const& set, unsigned threshold) {
  return new PlainLeaf(set, PreliminaryCondition(set.unionBits(), threshold));
}

// A root over one leaf per set, child i holding sets[i].
std::unique_ptr<PlainNode> rootOver(std::vector<RayReferenceContainer> const& sets,
                                    unsigned threshold) {
  BitList all;
  for (const RayReferenceContainer& s : sets)
    all.words()[0] |= s.unionBits().words()[0];
  auto root = std::make_unique<PlainNode>(all, PreliminaryCondition(all, threshold),
                                          static_cast<unsigned short>(sets.size()));
  for (unsigned short i = 0; i < sets.size(); ++i)
    root->setChild(i, leaf(sets[i], threshold));
  return root;
}

std::vector<const void*> rays(std::deque<EdgeCandidate> const& found) {
  std::vector<const void*> out;
  for (const EdgeCandidate& e : found)
    out.push_back(e.mFirst.mRay);
  return out;
}

TEST(LeafNode, EmptyLeafCostsOneVisitAndHoldsNothing) {
  const RayReferenceContainer none;
  const std::unique_ptr<PlainLeaf> empty(leaf(none, 0));
  const RayReference query(ray(9), kept(bits({1})));
  std::deque<EdgeCandidate> found;
  resetCounters();
  empty->preliminaryTraverse(query, found);
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 1u);

  const BitList face;
  const ExtVerificationCondition q(face, query.bits(), query.bits());
  EXPECT_FALSE(empty->verificationTraverse(q));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 1u);
  EXPECT_EQ(empty->getLeafNodesCount(), 0u);
  EXPECT_EQ(empty->getRaysCount(), 0u);
  EXPECT_TRUE(empty->isEmpty());
  std::vector<const TreeNode*> leaves;
  empty->enumerateLeafNodes(leaves);
  EXPECT_TRUE(leaves.empty());
}

TEST(LeafNode, SharedEmptyLeaf) {
  const TreeNode& empty = LeafNode<PreliminaryCondition>::EMPTY_NODE;
  EXPECT_EQ(empty.mJoinCondition.get(), &PreliminaryCondition::TRIVIAL_FAIL);
  EXPECT_EQ(LeafNode<PreliminaryCondition>::EMPTY_NODE.mRays, nullptr);
  const RayReference query(ray(1), kept(BitList(1, ~0ul)));
  std::deque<EdgeCandidate> found;
  resetCounters();
  empty.preliminaryTraverse(query, found);
  empty.preliminaryTraverse(query, found);
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 2u);
  const ExtVerificationCondition q(BitList(), query.bits(), query.bits());
  EXPECT_FALSE(empty.verificationTraverse(q));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 1u);
  EXPECT_TRUE(empty.isEmpty());
}

TEST(IntermediateBitSetNode, CandidatesComeHighestChildFirstThenInStoredOrder) {
  const auto root = rootOver({container({bits({0, 1}), bits({0, 2}), bits({3})}, 0),
                              container({bits({1, 2}), bits({4}), bits({0, 1, 2})}, 10)},
                             2);
  const RayReference query(ray(99), kept(bits({0, 1, 2})));
  std::deque<EdgeCandidate> found;
  resetCounters();
  root->preliminaryTraverse(query, found);
  EXPECT_EQ(rays(found), (std::vector<const void*>{ray(10), ray(12), ray(0), ray(1)}));
  // root, two leaves, six stored patterns
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 9u);
  EXPECT_EQ(found.front().mCommon.words()[0], bits({1, 2}).words()[0]);
  EXPECT_EQ(found.front().mSecond.mRay, ray(99));
}

TEST(IntermediateBitSetNode, NarrowingPrunesAtTheRootAndAtLeaves) {
  const auto root = rootOver({container({bits({0, 1})}, 0), container({bits({5, 6})}, 1)}, 2);
  std::deque<EdgeCandidate> found;
  resetCounters();
  root->preliminaryTraverse(RayReference(ray(7), kept(bits({0, 9}))), found);
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 1u);
  resetCounters();
  root->preliminaryTraverse(RayReference(ray(7), kept(bits({0, 1, 9}))), found);
  EXPECT_EQ(rays(found), std::vector<const void*>{ray(0)});
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 4u); // child 1 fails at its entry
}

TEST(IntermediateBitSetNode, MoreThanTwoChildren) {
  const auto root = rootOver(
      {container({bits({1})}, 0), container({bits({1})}, 1), container({bits({1})}, 2)}, 1);
  std::deque<EdgeCandidate> found;
  root->preliminaryTraverse(RayReference(ray(7), kept(bits({1}))), found);
  EXPECT_EQ(rays(found), (std::vector<const void*>{ray(2), ray(1), ray(0)}));
  EXPECT_EQ(root->getSubNodesCount(), 3u);
}

TEST(IntermediateBitSetNode, VerificationStopsAtTheFirstTrueChild) {
  const BitList first = bits({1, 2, 3}), second = bits({1, 2, 4});
  const auto root = rootOver({container({bits({1, 2, 5})}, 0),
                              container({bits({1, 2, 3}), bits({1, 2, 6}), bits({1, 2, 7})}, 10)},
                             1);
  const ExtVerificationCondition q(bits({1, 2}), first, second);
  resetCounters();
  EXPECT_TRUE(root->verificationTraverse(q));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 2u); // root, child 1
  EXPECT_EQ(VerificationCondition::OPS, 2u);             // a copy of first, then the answer

  // Copies of the pair's own patterns never answer.
  const auto copies = rootOver({container({first}, 0), container({second}, 1)}, 1);
  resetCounters();
  EXPECT_FALSE(copies->verificationTraverse(q));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 3u);
  EXPECT_EQ(VerificationCondition::OPS, 2u);

  // A face outside the root's union stops at the root.
  const ExtVerificationCondition outside(bits({1, 9}), first, second);
  resetCounters();
  EXPECT_FALSE(root->verificationTraverse(outside));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 1u);
  EXPECT_EQ(VerificationCondition::OPS, 0u);
}

VantagePointPreliminaryCondition vpCondition(BitList const& mask, BitList const& vp, bool use,
                                             std::int32_t maxIn, std::int32_t maxOut) {
  VantagePointPreliminaryCondition c(mask, 1, vp);
  c.mUseVantagePoint = use;
  c.mMaxIn = maxIn;
  c.mMaxOut = maxOut;
  return c;
}

TEST(IntermediateBitSetNode, VantagePointAnswersEvenWhenTheSubtreeIsSkipped) {
  const BitList first = bits({1, 2, 3}), second = bits({1, 2, 4}), vp = bits({1, 2, 8});
  const ExtVerificationCondition q(bits({1, 2}), first, second);
  const RayReferenceContainer none;
  const VantagePointPreliminaryCondition closed = vpCondition(BitList(), vp, true, -1, -1);

  VpNode node(vp, vpCondition(vp, vp, true, -1, -1), 2); // proceed_verification fails
  node.setChild(0, new VpLeaf(none, closed));
  node.setChild(1, new VpLeaf(none, closed));
  resetCounters();
  EXPECT_TRUE(node.verificationTraverse(q));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 2u); // the node and its bounds test
  EXPECT_EQ(VerificationCondition::OPS, 1u);

  // Without the flag the vantage point is not asked and the node answers false.
  node.mCondition.mUseVantagePoint = false;
  resetCounters();
  EXPECT_FALSE(node.verificationTraverse(q));
  EXPECT_EQ(VerificationCondition::OPS, 0u);

  // A leaf answers through its vantage point before any bounds test.
  const VpLeaf vpLeaf(none, closed);
  resetCounters();
  EXPECT_TRUE(vpLeaf.verificationTraverse(q));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 1u);
  EXPECT_EQ(VerificationCondition::OPS, 1u);
}

TEST(IntermediateBitSetNode, VantagePointNodesTestOnlyTheBounds) {
  // Bounds: popcount(Q AND vp) >= 2 and popcount(Q AND NOT vp) >= 0.
  const BitList vp = bits({0, 1, 2});
  VantagePointPreliminaryCondition c(bits({0, 1, 2, 3}), 1, vp);
  c.mMinIn = 2;
  VpNode node(bits({0, 1, 2, 3}), c, 2);
  node.setChild(0, new VpLeaf(container({bits({0, 1})}, 0), c));
  node.setChild(1, new VpLeaf(container({bits({3})}, 1), c));
  std::deque<EdgeCandidate> found;
  resetCounters();
  node.preliminaryTraverse(RayReference(ray(5), kept(bits({3}))), found); // in 0 < 2
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 1u);
  resetCounters();
  node.preliminaryTraverse(RayReference(ray(5), kept(bits({0, 2, 3}))), found);
  EXPECT_EQ(rays(found), (std::vector<const void*>{ray(1), ray(0)}));
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 5u);
}

TEST(IntermediateBitSetNode, Counts) {
  const auto root = rootOver({container({bits({1}), bits({2}), bits({3})}, 0),
                              container({bits({4}), bits({5}), bits({6}), bits({7})}, 3)},
                             1);
  EXPECT_EQ(root->getSubNodesCount(), 2u);
  EXPECT_EQ(root->getRaysCount(), 7u);
  EXPECT_EQ(root->getLeafNodesCount(), 2u);
  EXPECT_FALSE(root->isEmpty());
  std::vector<const TreeNode*> leaves;
  root->enumerateLeafNodes(leaves);
  EXPECT_EQ(leaves, (std::vector<const TreeNode*>{root->child(0), root->child(1)}));

  // One level deeper, with an empty leaf that is counted as a node only.
  const RayReferenceContainer none;
  PlainNode top(BitList(1, ~0ul), PreliminaryCondition(BitList(1, ~0ul), 1), 2);
  top.setChild(0, leaf(none, 1));
  top.setChild(1,
               rootOver({container({bits({1})}), container({bits({2}), bits({3})})}, 1).release());
  EXPECT_EQ(top.getSubNodesCount(), 4u);
  EXPECT_EQ(top.getRaysCount(), 3u);
  EXPECT_EQ(top.getLeafNodesCount(), 2u);
}

TEST(IntermediateBitSetNode, DotText) {
  const auto root = rootOver({container({bits({1})}), container({bits({1, 2}), bits({3})})}, 1);
  const TreeNode* self = root.get();
  const TreeNode* c0 = root->child(0);
  const TreeNode* c1 = root->child(1);
  std::ostringstream expected;
  expected << "p" << self << " [label=\"|V|=3, |u|=3\"];\n";
  const std::string rootLine = expected.str();
  expected << "p" << c0 << " [label=\"|V|=1, |u|=1\"];\n"
           << "p" << self << "->p" << c0 << ";\n"
           << "p" << c1 << " [label=\"|V|=2, |u|=3\"];\n"
           << "p" << self << "->p" << c1 << ";\n";
  EXPECT_EQ(root->toString(1), expected.str());
  EXPECT_EQ(root->toString(0), rootLine);

  // An inner child: its subtree within the depth, then the edge to it.
  PlainNode top(BitList(1, ~0ul), PreliminaryCondition(BitList(1, ~0ul), 1), 2);
  PlainLeaf* empty = leaf(RayReferenceContainer(), 1);
  auto owned = rootOver({container({bits({1})}), container({bits({1, 2}), bits({3})})}, 1);
  const PlainNode* inner = owned.get();
  top.setChild(0, empty);
  top.setChild(1, owned.release());
  const TreeNode* t = &top;
  const TreeNode* e = empty;
  const TreeNode* i = inner;
  std::ostringstream head;
  head << "p" << t << " [label=\"|V|=3, |u|=64\"];\n"
       << "p" << e << " [label=\"|V|=0, |u|=0\"];\n"
       << "p" << t << "->p" << e << ";\n";
  std::ostringstream edge;
  edge << "p" << t << "->p" << i << ";\n";
  EXPECT_EQ(top.toString(2), head.str() + inner->toString(1) + edge.str());
  EXPECT_EQ(top.toString(1), head.str() + inner->toString(0) + edge.str());

  const VpLeaf vpLeaf(container({bits({1})}),
                      VantagePointPreliminaryCondition(bits({1}), 2, bits({1, 2})));
  std::ostringstream vpExpected;
  vpExpected << "p" << static_cast<const TreeNode*>(&vpLeaf)
             << " [label=\"|V|=1, |u|=1, min_n(d)=(0,0), max_v=(1,1), |v|=2\"];\n";
  EXPECT_EQ(vpLeaf.toString(3), vpExpected.str());
}

TEST(TreeNode, JoinsPairThroughTheJoinConditions) {
  PlainLeaf mine(container({bits({1, 2}), bits({5})}, 0), PreliminaryCondition(bits({1, 2, 5}), 1));
  PlainLeaf other(container({bits({1, 2, 3}), bits({2})}, 10),
                  PreliminaryCondition(bits({1, 2, 3}), 1));
  std::vector<EdgeCandidate> pairs;
  mine.preliminaryTraverse(&other, pairs);
  EXPECT_TRUE(pairs.empty()); // no join conditions
  mine.mJoinCondition.reset(new PreliminaryCondition(BitList(1, ~0ul), 2));
  other.mJoinCondition.reset(new PreliminaryCondition(BitList(1, ~0ul), 2));
  mine.preliminaryTraverse(&other, pairs);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].mFirst.mRay, ray(10));
  EXPECT_EQ(pairs[0].mSecond.mRay, ray(0));
}

} // namespace
} // namespace tree_test
