#include "DualSetTestSupport.h"

#include "iteration/IterationTestSupport.h"

#include <algorithm>
#include <memory>

namespace dualset_test {
namespace {

using dd_test::bitsOf;
using dd_test::matrixOf;
using DualSetGeneratorTest = dd_test::NoGlobalSettings;

TEST_F(DualSetGeneratorTest, SquareMatrixGivesTheInitialRaysWithoutCertificates) {
  const Matrix working = matrixOf({{1, 1, 0}, {0, 1, 0}, {0, 1, 1}});
  const Matrix base = dd_test::identity(3);
  OpenDualSetGenerator generator(working, working, base, partitionedSets());
  generator.calculateBase();
  generator.run();
  ASSERT_EQ(generator.cache().mFinalRays.size(), 3u);
  EXPECT_EQ(generator.dependencyCache().getSize(), 0u);
  for (DualSetRay const* ray : generator.cache().mFinalRays) {
    EXPECT_TRUE(bitIndices(ray->secondary(), 3).empty());
    EXPECT_EQ(ray->firstNegativeRow(), 3u);
    expectConsistent(working, *ray);
  }
  EXPECT_EQ(coordinateLines(working, generator.cache().mFinalRays),
            std::vector<std::string>({"1 0 0", "-1 1 -1", "0 0 1"}));
}

// Initial rays e0, e1, e2 against rows chosen for their slacks.
class InitialRayTest : public DualSetGeneratorTest {
protected:
  Matrix mWorking = matrixOf({{1, 0, 0},
                              {0, 1, 0},
                              {0, 0, 1},
                              {2, 0, 0},   // 3: zero for e1 and e2
                              {0, 1, 1},   // 4: zero for e0
                              {0, 2, -1},  // 5: zero for e0, negative for e2
                              {-1, 0, 0},  // 6: negative for e0, zero for e1 and e2
                              {0, 1, 0}}); // 7: zero for e0
  Matrix mBase = dd_test::identity(3);
  OpenDualSetGenerator mGenerator{mWorking, mWorking, mBase, partitionedSets()};

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
  EXPECT_EQ(bitIndices(e0->primary(), 8), std::vector<unsigned>({1, 2}));
  EXPECT_EQ(bitIndices(e0->secondary(), 8), std::vector<unsigned>({4, 5})); // not 7
  EXPECT_EQ(bitIndices(e1->secondary(), 8), std::vector<unsigned>({3, 6}));
  EXPECT_EQ(bitIndices(e2->secondary(), 8), std::vector<unsigned>({3})); // not 6
  EXPECT_EQ(e0->firstNegativeRow(), 6u);
  EXPECT_EQ(e2->firstNegativeRow(), 5u);

  // e2 takes e1's certificate for row 3, whose support {0} lies in its primary set.
  EXPECT_EQ(e1->dependency(3), e2->dependency(3));
  EXPECT_EQ(e1->dependency(3)->referenceCount(), 2u);
  EXPECT_EQ(e1->dependency(6)->referenceCount(), 1u);
  EXPECT_EQ(mGenerator.dependencyCache().getSize(), 4u);
  EXPECT_FALSE(mGenerator.dependencyCache().isDirty());
}

// A certificate unreferenced by the deletion of the rays negative on row N is
// still there during step N + 1 and freed at its end.
TEST_F(InitialRayTest, CertificatesOfDeletedRaysGoOneStepLater) {
  mGenerator.calculateBase();
  DualSetRay const* e0 = negativeOn(6);
  ASSERT_NE(e0, nullptr);
  LinearDependenceEntry const* certificate = e0->dependency(5);
  auto held = [&](unsigned row) {
    auto const& list = mGenerator.dependencyCache().certificatesOf(row).certificates();
    return std::any_of(list.begin(), list.end(),
                       [&](auto const& e) { return e.get() == certificate; });
  };
  testing::internal::CaptureStdout();
  for (unsigned step = 3; step <= 6; ++step)
    mGenerator.calculateStep(step);
  ASSERT_TRUE(held(5));
  ASSERT_EQ(certificate->referenceCount(), 0u);
  mGenerator.calculateStep(7);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(held(5));
  for (DualSetRay const* ray : mGenerator.cache().mFinalRays)
    expectConsistent(mWorking, *ray);
}

// Coordinates for rays whose tests never read them.
RayCoordinates noCoordinates() { return RayCoordinates(makeMachineValues(3), 3); }

// A computed certificate for row over support, all values 1: the rays below
// never check it against a matrix.
std::unique_ptr<LinearDependenceEntry> certificate(unsigned row,
                                                   std::vector<unsigned> const& support) {
  auto e = std::make_unique<LinearDependenceEntry>(row);
  const std::vector<std::int64_t> values(support.size() + 1, 1);
  e->assign(support.data(), static_cast<unsigned>(support.size()), values.data());
  return e;
}

TEST(DualSetRayTest, DestructionReleasesOneReferencePerSecondaryRow) {
  auto first = certificate(4, {0}), second = certificate(6, {0, 1});
  first->addReference(); // held by another ray
  {
    DualSetRay ray(3, 2, noCoordinates(), bitsOf(1, {0, 1}), 80);
    ray.addSecondary(4, first.get());
    ray.addSecondary(6, second.get());
    EXPECT_EQ(bitIndices(ray.secondary(), 8), std::vector<unsigned>({4, 6}));
    EXPECT_EQ(ray.dependency(4), first.get());
    EXPECT_EQ(ray.dependency(6), second.get());
    EXPECT_EQ(first->referenceCount(), 2u);
    EXPECT_EQ(second->referenceCount(), 1u);
  }
  EXPECT_EQ(first->referenceCount(), 1u);
  EXPECT_EQ(second->referenceCount(), 0u);
  // Without secondary rows there are no certificates to release.
  { DualSetRay bare(3, 2, noCoordinates(), bitsOf(1, {0, 1}), 8); }
  EXPECT_EQ(first->referenceCount(), 1u);
}

// Bit t of a support mask stands for the t-th primary row, across words of
// rows; a given mask is kept as it is.
TEST(DualSetRayTest, SupportMasksNameTheSupportByPrimaryRank) {
  auto low = certificate(4, {0}), high = certificate(65, {1, 70}), given = certificate(66, {70});
  DualSetRay ray(4, 3, noCoordinates(), bitsOf(2, {0, 1, 70}), 80);
  ray.addSecondary(4, low.get());
  ray.addSecondary(65, high.get());
  const std::uint64_t mask = 4;
  ray.addSecondary(66, given.get(), &mask);
  ASSERT_EQ(ray.maskWords(), 1u);
  EXPECT_EQ(*ray.supportMask(4), 1u);
  EXPECT_EQ(*ray.supportMask(65), 6u);
  EXPECT_EQ(*ray.supportMask(66), 4u);
  EXPECT_EQ(ray.certificateAt(1), high.get());
  EXPECT_EQ(ray.supportMaskAt(2), ray.supportMask(66));
}

TEST(DualSetRayTest, ResultLinesReadThePrimarySetOrTheWholeZeroSet) {
  auto low = certificate(4, {0}), high = certificate(65, {1});
  DualSetRay ray(4, 3, noCoordinates(), bitsOf(2, {0, 1, 70}), 80);
  ray.addSecondary(4, low.get());
  ray.addSecondary(65, high.get());
  BitList scratch;
  EXPECT_EQ(&resultZeroSet<RepresentationVector>(ray, scratch), &ray.primary());
  for (BitList const* zero :
       {&resultZeroSet<BitList>(ray, scratch), &resultZeroSet<OutputVector<double>>(ray, scratch)})
    EXPECT_EQ(bitIndices(*zero, 128), std::vector<unsigned>({0, 1, 4, 65, 70}));
}

TEST(DualSetRayTest, MaskedZeroSetJoinsBothSetsWithinTheMask) {
  auto e = certificate(65, {70});
  DualSetRay ray(4, 3, noCoordinates(), bitsOf(2, {0, 1, 70}), 80);
  ray.addSecondary(65, e.get());
  EXPECT_EQ(bitIndices(maskedZeroSet(ray, bitsOf(2, {1, 2, 65, 127})), 128),
            std::vector<unsigned>({1, 65}));
}

// A step reads only the words where a ray's primary or secondary rows lie,
// the secondary ones joining later; the primary rows are listed too.
TEST(DualSetRayTest, ZeroWordsSpanBothSets) {
  auto e = certificate(150, {70});
  DualSetRay ray(4, 3, noCoordinates(), bitsOf(3, {64, 65, 70}), 190);
  ASSERT_EQ(ray.primaryCount(), 3u);
  EXPECT_EQ(std::vector<unsigned>(ray.primaryRows(), ray.primaryRows() + 3),
            std::vector<unsigned>({64, 65, 70}));
  using Words = std::pair<std::uint64_t, std::uint64_t>;
  EXPECT_EQ(maskedZeroSetWords(ray, bitsOf(3, {})), Words(1, 2));
  ray.addSecondary(150, e.get());
  EXPECT_EQ(maskedZeroSetWords(ray, bitsOf(3, {})), Words(1, 3));
  EXPECT_EQ(maskedZeroSetWords(ray, bitsOf(1, {})), Words(1, 1));
  BitList pattern(3);
  writeMaskedZeroSet(pattern, ray, bitsOf(3, {0, 65, 150, 151}));
  EXPECT_EQ(bitIndices(pattern, 192), std::vector<unsigned>({65, 150}));
}

#ifdef REDIVEZ_ASSERTIONS
// Checked builds stop where the sets of a ray or the counts of its
// certificates would go wrong.
TEST(DualSetRayDeathTest, BrokenInvariantsStopCheckedBuilds) {
  EXPECT_DEATH(DualSetRay(3, 2, noCoordinates(), bitsOf(1, {0}), 8), "count");
  EXPECT_DEATH(LinearDependenceEntry(5).release(), "mRefCount > 0");
  auto four = certificate(4, {0}), two = certificate(2, {0}), five = certificate(5, {0});
  EXPECT_DEATH(
      {
        DualSetRay ray(3, 2, noCoordinates(), bitsOf(1, {0, 4}), 80);
        ray.addSecondary(4, four.get()); // primary already
      },
      "mPrimary.test");
  EXPECT_DEATH(
      {
        DualSetRay ray(3, 2, noCoordinates(), bitsOf(1, {0, 1}), 80);
        ray.addSecondary(2, two.get()); // a basis row
      },
      "firstSecondaryRow");
  EXPECT_DEATH(
      {
        DualSetRay ray(3, 2, noCoordinates(), bitsOf(1, {0, 1}), 80);
        ray.addSecondary(5, five.get());
        ray.addSecondary(4, four.get()); // out of order
      },
      "noneFrom");
  EXPECT_DEATH(
      {
        DualSetRay ray(3, 2, noCoordinates(), bitsOf(1, {0, 1}), 80);
        LinearDependenceEntry pending(4);
        ray.addSecondary(4, &pending); // never computed
      },
      "isComputed");
}
#endif

} // namespace
} // namespace dualset_test
