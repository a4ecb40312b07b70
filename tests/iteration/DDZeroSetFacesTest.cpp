#include "IterationTestSupport.h"

#include "iteration/DDZeroSetFaces.h"

#include <random>

namespace dd_test {
namespace {

// A zero set over three words: its slots are its rows in order.
BitList zeroSet() { return bitsOf(3, {3, 64, 70, 130, 191}); }

std::vector<unsigned> slotsOf(ZeroSetFaces const& faces, unsigned i) {
  std::vector<unsigned> slots;
  forEachSetBit(faces.mask(i), faces.maskWords(),
                [&](std::uint64_t s) { slots.push_back(static_cast<unsigned>(s)); });
  return slots;
}

TEST(ZeroSetFaces, MasksNumberTheZeroSetsRows) {
  const BitList zero = zeroSet();
  ZeroSetFaces faces;
  faces.setZeroSet(zero);
  faces.add(bitsOf(3, {64, 130, 191}));
  faces.add(bitsOf(3, {3, 130}));
  ASSERT_EQ(faces.slots(), 5u);
  EXPECT_EQ(faces.slotRow(2), 70u);
  EXPECT_EQ(slotsOf(faces, 0), std::vector<unsigned>({1, 3, 4}));
  EXPECT_EQ(slotsOf(faces, 1), std::vector<unsigned>({0, 3}));
  EXPECT_EQ(faces.rows(0), 3u);
  EXPECT_EQ(faces.totalRows(), 5u);
  EXPECT_EQ(faces.facesPerSlot(), std::vector<unsigned>({1, 1, 0, 2, 1}));
  // A new zero set starts over.
  faces.setZeroSet(zero);
  EXPECT_EQ(faces.size(), 0u);
  faces.add(bitsOf(3, {70}));
  EXPECT_EQ(slotsOf(faces, 0), std::vector<unsigned>({2}));
}

// Larger faces first, so that a face comes after every face it lies in;
// ties keep the order added.
TEST(ZeroSetFaces, OrderPutsLargerFacesFirst) {
  const BitList zero = zeroSet();
  ZeroSetFaces faces;
  faces.setZeroSet(zero);
  for (auto rows : {std::vector<unsigned>{3}, {3, 64, 70}, {64, 70}, {130, 191, 3}, {191}})
    faces.add([&] {
      BitList face(3);
      for (unsigned r : rows)
        face.set(r);
      return face;
    }());
  EXPECT_EQ(faces.order(), std::vector<unsigned>({1, 3, 2, 0, 4}));
}

// Only the faces within a face marked short are settled: a face with a row
// outside it is not, and neither is any face before one is marked.
TEST(ZeroSetFaces, FacesWithinAShortFaceAreShort) {
  const BitList zero = zeroSet();
  ZeroSetFaces faces;
  faces.setZeroSet(zero);
  faces.add(bitsOf(3, {3, 64, 130, 191})); // 0
  faces.add(bitsOf(3, {64, 191}));         // 1: within 0
  faces.add(bitsOf(3, {64, 70}));          // 2: row 70 outside 0
  faces.add(bitsOf(3, {3, 64, 130, 191})); // 3: equal to 0
  EXPECT_FALSE(faces.withinShortFace(1));
  faces.markShort(0);
  EXPECT_TRUE(faces.withinShortFace(1));
  EXPECT_FALSE(faces.withinShortFace(2));
  EXPECT_TRUE(faces.withinShortFace(3));
  faces.markShort(2);
  EXPECT_TRUE(faces.withinShortFace(2));
  faces.setZeroSet(zero);
  faces.add(bitsOf(3, {64}));
  EXPECT_FALSE(faces.withinShortFace(0));
}

// Packing by the processor's bit extraction and by the loop over the bits
// agree, over sparse and dense zero words whose packed bits cross words.
TEST(ZeroSetFaces, BothPackingsAgree) {
  if (!bitExtractionRuns())
    GTEST_SKIP() << "no fast bit extraction here";
  std::mt19937_64 rng(5);
  for (int trial = 0; trial < 500; ++trial) {
    std::uint64_t zero[4], face[4];
    for (unsigned w = 0; w < 4; ++w) {
      zero[w] = rng() & (trial % 3 == 0 ? rng() & rng() : ~std::uint64_t(0) >> (trial % 5));
      face[w] = zero[w] & rng();
    }
    std::uint64_t byLoop[4] = {}, byExtraction[4] = {};
    const unsigned first = trial % 2;
    packBits(face, zero, first, 4, byLoop, false);
    packBits(face, zero, first, 4, byExtraction, true);
    for (unsigned w = 0; w < 4; ++w)
      ASSERT_EQ(byLoop[w], byExtraction[w]) << "trial " << trial << " word " << w;
  }
}

} // namespace
} // namespace dd_test
