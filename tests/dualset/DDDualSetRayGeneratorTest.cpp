#include "DualSetTestSupport.h"

#include "iteration/IterationTestSupport.h"

#include <algorithm>

namespace dualset_test {
namespace {

using dd_test::bitsOf;
using dd_test::FreshOptions;
using dd_test::matrixOf;

class DualSetGeneratorTest : public FreshOptions {
protected:
  void SetUp() override {
    FreshOptions::SetUp();
    Options::current()->mAdjacencyTest = PARTITIONED_SETS_TEST;
  }
};

TEST_F(DualSetGeneratorTest, SquareMatrixGivesTheInitialRaysWithoutCertificates) {
  const Matrix working = matrixOf({{1, 1, 0}, {0, 1, 0}, {0, 1, 1}});
  const Matrix base = dd_test::identity(3);
  OpenDualSetGenerator generator(working, working, base);
  generator.calculateBase();
  generator.run();
  ASSERT_EQ(generator.cache().mFinalRays.size(), 3u);
  EXPECT_EQ(generator.mDependencyCache.getSize(), 0u);
  for (DualSetRay const* ray : generator.cache().mFinalRays) {
    EXPECT_TRUE(bitIndices(ray->mSecondary, 3).empty());
    EXPECT_EQ(ray->firstNegativeRow(), 3u);
    expectConsistent(working, *ray);
  }
  EXPECT_EQ(coordinateLines(working, generator.cache().mFinalRays),
            std::vector<std::string>({"1 0 0", "-1 1 -1", "0 0 1"}));
}

// Coordinates for rays whose tests never read them.
RayCoordinates noCoordinates() { return RayCoordinates(std::make_unique<std::int64_t[]>(3), 3); }

// Initial rays e0, e1, e2 against rows chosen for their slacks.
class InitialRayTest : public DualSetGeneratorTest {
protected:
  Matrix mWorking = matrixOf({{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                              {2, 0, 0},   // 3: zero for e1 and e2
                              {0, 1, 1},   // 4: zero for e0
                              {0, 2, -1},  // 5: zero for e0, negative for e2
                              {-1, 0, 0},  // 6: negative for e0, zero for e1 and e2
                              {0, 1, 0}}); // 7: zero for e0
  Matrix mBase = dd_test::identity(3);
  OpenDualSetGenerator mGenerator{mWorking, mWorking, mBase};

  // The one live ray negative on row, if there is exactly one.
  DualSetRay const* negativeOn(unsigned row) {
    std::vector<DualSetRay const*> negative;
    mGenerator.cache().forEachLiveRay([&](DualSetRay const& ray) {
      if (ray.firstNegativeRow() == row)
        negative.push_back(&ray);
    });
    return negative.size() == 1 ? negative[0] : nullptr;
  }
};

TEST_F(InitialRayTest, SecondaryRowsAndCertificatesStopAtTheFirstNegativeRow) {
  mGenerator.calculateBase();
  DualSetRay const* e0 = negativeOn(6);
  DualSetRay const* e2 = negativeOn(5);
  ASSERT_EQ(mGenerator.cache().mFinalRays.size(), 1u);
  DualSetRay const* e1 = mGenerator.cache().mFinalRays[0];
  ASSERT_NE(e0, nullptr);
  ASSERT_NE(e2, nullptr);
  for (DualSetRay const* ray : {e0, e1, e2}) {
    EXPECT_EQ(ray->firstSecondaryRow(), 3u);
    EXPECT_EQ(ray->creationRow(), 2u);
    expectConsistent(mWorking, *ray);
  }
  EXPECT_EQ(bitIndices(e0->mPrimary, 8), std::vector<unsigned>({1, 2}));
  EXPECT_EQ(bitIndices(e0->mSecondary, 8), std::vector<unsigned>({4, 5})); // not 7
  EXPECT_EQ(bitIndices(e1->mSecondary, 8), std::vector<unsigned>({3, 6}));
  EXPECT_EQ(bitIndices(e2->mSecondary, 8), std::vector<unsigned>({3})); // not 6
  EXPECT_EQ(e0->firstNegativeRow(), 6u);
  EXPECT_EQ(e2->firstNegativeRow(), 5u);

  // e2 takes e1's certificate for row 3, whose support {0} lies in its primary set.
  EXPECT_EQ(e1->dependency(3), e2->dependency(3));
  EXPECT_EQ(e1->dependency(3)->mRefCount, 2u);
  EXPECT_EQ(e1->dependency(6)->mRefCount, 1u);
  EXPECT_EQ(mGenerator.mDependencyCache.getSize(), 4u);
  EXPECT_FALSE(mGenerator.mDependencyCache.isDirty());
}

// A certificate unreferenced by the deletion of the rays negative on row N is
// still there during step N + 1 and freed at its end.
TEST_F(InitialRayTest, CertificatesOfDeletedRaysGoOneStepLater) {
  mGenerator.calculateBase();
  DualSetRay const* e0 = negativeOn(6);
  ASSERT_NE(e0, nullptr);
  LinearDependenceEntry const* certificate = e0->dependency(5);
  auto held = [&](unsigned row) {
    auto const& list = mGenerator.mDependencyCache.mVectors[row - 3].mCertificates;
    return std::find(list.begin(), list.end(), certificate) != list.end();
  };
  testing::internal::CaptureStdout();
  for (unsigned step = 3; step <= 6; ++step)
    mGenerator.calculateStep(step);
  ASSERT_TRUE(held(5));
  ASSERT_EQ(certificate->mRefCount, 0u);
  mGenerator.calculateStep(7);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(held(5));
  for (DualSetRay const* ray : mGenerator.cache().mFinalRays)
    expectConsistent(mWorking, *ray);
}

TEST(DualSetRayTest, DestructionReleasesOneReferencePerSecondaryRow) {
  LinearDependenceEntry first(1, 5), second(1, 7);
  first.mRefCount = 2;
  second.mRefCount = 1;
  auto** slots = new LinearDependenceEntry*[5];
  slots[4 - 3] = &first;
  slots[6 - 3] = &second;
  delete new DualSetRay(3, 2, noCoordinates(), bitsOf(1, {0, 1}), bitsOf(1, {4, 6}), slots, 8);
  EXPECT_EQ(first.mRefCount, 1u);
  EXPECT_EQ(second.mRefCount, 0u);
  // Without secondary rows no slot is read.
  delete new DualSetRay(3, 2, noCoordinates(), bitsOf(1, {0, 1}), BitList(1), nullptr, 8);
  EXPECT_EQ(first.mRefCount, 1u);
}

TEST(DualSetRayTest, ResultLinesReadThePrimarySetOrTheWholeZeroSet) {
  LinearDependenceEntry low(2, 5), high(2, 66);
  auto** slots = new LinearDependenceEntry*[70];
  slots[4 - 3] = &low;
  slots[65 - 3] = &high;
  low.mRefCount = high.mRefCount = 1;
  DualSetRay ray(3, 2, noCoordinates(), bitsOf(2, {0, 1, 70}), bitsOf(2, {4, 65}), slots, 80);
  BitList scratch;
  EXPECT_EQ(&resultZeroSet<RepresentationVector>(ray, scratch), &ray.mPrimary);
  for (BitList const* zero : {&resultZeroSet<BitList>(ray, scratch),
                              &resultZeroSet<OutputVector<double>>(ray, scratch)})
    EXPECT_EQ(bitIndices(*zero, 128), std::vector<unsigned>({0, 1, 4, 65, 70}));
}

} // namespace
} // namespace dualset_test
