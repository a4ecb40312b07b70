// A partitioned-sets run that shares its passes among threads prints and
// keeps exactly what a run on one thread does: the same step lines, the same
// final rays with the same certificates, and a certificate store with the
// same entries in the same order, counting the same references.
#include "DualSetTestSupport.h"
#include "core/DDSharingPolicy.h"
#include "iteration/ConeInstanceSupport.h"

#include <sstream>

namespace dualset_test {
namespace {

struct RunRecord {
  std::string steps;
  std::vector<std::string> rays;  // coordinates, zero sets and certificates
  std::vector<std::string> store; // each row's entries in order
};

std::string describe(LinearDependenceEntry const& e) {
  std::ostringstream out;
  out << "r" << e.row() << " [";
  for (unsigned row : supportOf(e))
    out << " " << row;
  out << " ] (";
  for (mpz_class const& v : valuesOf(e))
    out << " " << v;
  out << " ) refs " << e.referenceCount();
  return out.str();
}

RunRecord runWith(Matrix const& working, unsigned threads) {
  // Every piece of work is shared, however small.
  const SharingPolicy::ScopedChunkWork everyPiece(1);
  const Matrix base = dd_test::identity(working.getColumns());
  OpenDualSetGenerator generator(working, working, base,
                                 dd_test::settingsWith(PARTITIONED_SETS_TEST), threads);
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  RunRecord run{dd_test::withoutTimes(testing::internal::GetCapturedStdout()), {}, {}};
  auto const& finals = generator.cache().mFinalRays;
  const std::vector<std::string> lines = coordinateLines(working, finals);
  for (std::size_t i = 0; i < finals.size(); ++i) {
    DualSetRay const& ray = *finals[i];
    std::string line =
        lines[i] + " | " + ray.primary().toString() + " | " + ray.secondary().toString();
    for (std::size_t k = 0; k < ray.secondary().count(); ++k)
      line += " | " + describe(*ray.certificateAt(k));
    run.rays.push_back(line);
  }
  LinearDependenceCache const& store = generator.dependencyCache();
  for (unsigned r = working.getColumns(); r < working.getRowCount(); ++r)
    for (auto const& e : store.certificatesOf(r).certificates())
      run.store.push_back(describe(*e));
  return run;
}

class SharedPartTestRunTest : public dd_test::NoGlobalSettings,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(SharedPartTestRunTest, SameStepLinesRaysAndCertificatesAsOneThread) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(dd_test::loadInstance(dd_test::smallStem(GetParam()), working, reference));
  const RunRecord one = runWith(working, 1);
  for (unsigned threads : {2u, 3u, 8u}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const RunRecord shared = runWith(working, threads);
    EXPECT_EQ(shared.steps, one.steps);
    EXPECT_EQ(shared.rays, one.rays);
    EXPECT_EQ(shared.store, one.store);
  }
  dd_test::expectSameRaySet(runDualSet(working, dd_test::settingsWith(PARTITIONED_SETS_TEST)),
                            reference);
}

INSTANTIATE_TEST_SUITE_P(Instances, SharedPartTestRunTest,
                         ::testing::Values("rand01_dual_8_40", "rand_poly_rat_50_6"));

} // namespace
} // namespace dualset_test
