#ifndef DD_CONESUPPORT_H
#define DD_CONESUPPORT_H

// Test-only helpers: a reader for matrix files, a greedy basis choice and the
// conversion of final rays into coordinate lines comparable with the
// reference ray files.

#include "core/DDExtremeRayUncompressor.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"
#include "core/DDSingleSetRay.h"
#include "iteration/DDSingleSetRayGenerator.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dd_test {

using namespace double_description;

// Rows with rational entries are scaled by the lcm of their denominators.
inline bool readMatrixFile(std::string const& path, Matrix& out) {
  std::ifstream in(path);
  std::string word;
  while (in >> word && word != "begin")
    in.ignore(1 << 20, '\n');
  unsigned m = 0, d = 0;
  std::string type;
  if (!(in >> m >> d >> type))
    return false;
  out = Matrix();
  std::vector<mpq_class> values(d);
  for (unsigned i = 0; i < m; ++i) {
    mpz_class lcm = 1;
    for (unsigned j = 0; j < d; ++j) {
      if (!(in >> word))
        return false;
      values[j].set_str(word, 10);
      values[j].canonicalize();
      mpz_lcm(lcm.get_mpz_t(), lcm.get_mpz_t(), values[j].get_den_mpz_t());
    }
    CalculationVector row(d);
    for (unsigned j = 0; j < d; ++j)
      row[j] = values[j].get_num() * (lcm / values[j].get_den());
    out.insert(row);
  }
  return in >> word && word == "end";
}

// Moves the first rows (in order) that are independent of the rows before
// them to the front; the other rows keep their relative order. False when
// the matrix has no full-rank basis.
inline bool moveBasisToFront(Matrix& matrix) {
  const unsigned m = matrix.getRowCount(), d = matrix.getColumns();
  std::vector<std::vector<mpq_class>> echelon; // reduced rows, with pivots
  std::vector<unsigned> pivots;
  std::vector<unsigned> basis, rest;
  for (unsigned i = 0; i < m; ++i) {
    std::vector<mpq_class> v(d);
    for (unsigned j = 0; j < d; ++j)
      v[j] = matrix.row(i)[j];
    for (std::size_t e = 0; e < echelon.size(); ++e)
      if (sgn(v[pivots[e]]) != 0) {
        const mpq_class f = v[pivots[e]] / echelon[e][pivots[e]];
        for (unsigned j = 0; j < d; ++j)
          v[j] -= f * echelon[e][j];
      }
    unsigned p = 0;
    while (p < d && sgn(v[p]) == 0)
      ++p;
    if (p < d && basis.size() < d) {
      echelon.push_back(v);
      pivots.push_back(p);
      basis.push_back(i);
    } else {
      rest.push_back(i);
    }
  }
  if (basis.size() != d)
    return false;
  std::vector<unsigned> order;
  for (unsigned i : basis)
    order.push_back(matrix.getRowOrder()[i]);
  for (unsigned i : rest)
    order.push_back(matrix.getRowOrder()[i]);
  matrix.getRowOrder() = order;
  return true;
}

inline std::string coordinateLine(RepresentationVector const& x) {
  std::ostringstream line;
  for (unsigned l = 0; l < x.mLength; ++l) {
    if (l)
      line << ' ';
    if (x.mPosition[l] == 0)
      line << 0;
    else
      line << x.mValues[x.mPosition[l] - 1];
  }
  return line.str();
}

// The coordinates of each ray, computed from the zero set zeroSet(ray)
// gives, in list order.
template <class RayType, class ZeroSet>
std::vector<std::string> coordinateLines(Matrix const& working,
                                         std::vector<RayType const*> const& rays, ZeroSet zeroSet) {
  const unsigned m = working.getRowCount(), d = working.getColumns();
  ExtremeRayUncompressor uncompressor(m, d, (m + 63) / 64);
  std::vector<std::string> lines;
  for (RayType const* ray : rays) {
    RepresentationVector x(d);
    uncompressor.calcExtremeRay(working, zeroSet(*ray), x);
    lines.push_back(coordinateLine(x));
  }
  return lines;
}

inline std::vector<std::string> coordinateLines(Matrix const& working,
                                                std::vector<SingleSetRay const*> const& rays) {
  return coordinateLines(working, rays,
                         [](SingleSetRay const& ray) -> BitList const& { return ray.mActiveSet; });
}

inline std::vector<std::string> readRayLines(std::string const& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      lines.push_back(line);
  return lines;
}

inline std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

inline Matrix identity(unsigned d) {
  Matrix base(d, d);
  for (unsigned i = 0; i < d; ++i)
    base.row(i)[i] = 1;
  return base;
}

// Lets the tests read the ray cache.
class OpenGenerator : public SingleSetRayGenerator {
public:
  using SingleSetRayGenerator::SingleSetRayGenerator;
  Cache const& cache() const { return mRayCache; }
  Entry const& entry(unsigned row) { return mRayCache.entry(row); }
  // The slacks of a ray on rows from .. m - 1.
  std::vector<long> slacksOf(SingleSetRay const& ray, unsigned from) const {
    std::vector<long> values;
    mpz_class slack;
    for (unsigned k = from; k < mWorkingMatrix.getRowCount(); ++k) {
      mRayCache.slacks().slack(k, ray.coordinates(), slack);
      values.push_back(slack.get_si());
    }
    return values;
  }
};

// The coordinates of the final rays of a whole run; the step lines go to
// steps when it is given.
inline std::vector<std::string> runSingleSet(Matrix const& working, RunSettings const& settings,
                                             std::string* steps = nullptr) {
  const Matrix base = identity(working.getColumns());
  OpenGenerator generator(working, working, base, settings);
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  const std::string text = testing::internal::GetCapturedStdout();
  if (steps != nullptr)
    *steps = text;
  return coordinateLines(working, generator.cache().mFinalRays);
}

} // namespace dd_test

#endif
