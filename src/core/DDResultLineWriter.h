#ifndef DD_RESULTLINEWRITER_H
#define DD_RESULTLINEWRITER_H

#include <gmpxx.h>

#include <memory>
#include <ostream>

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDRayCoordinates.h"
#include "core/DDRepresentationVector.h"

namespace double_description {

// Recomputes a ray's coordinates from its zero set, for checked builds.
class ZeroSetCheck;

// Writes one result line (without its newline) for a ray, given by its zero
// set and its coordinates; T selects the format. The working objects are
// built once per file.
//
// The coordinate formats print the ray's own coordinates: they are the
// primitive integer vector spanning the kernel of the zero set's rows, with a
// positive product on the first row outside the set, which is the vector the
// zero set determines. Checked builds recompute it from the zero set.
template <class T> class ResultLineWriter;

// Exact primitive integer coordinates.
template <> class ResultLineWriter<RepresentationVector> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working);
  ~ResultLineWriter();
  void write(std::ostream& out, BitList const& zeroSet, RayCoordinates const& x);

private:
  unsigned mColumns;
  std::unique_ptr<ZeroSetCheck> mCheck;
};

// The exact primitive vector divided by the magnitude of its first nonzero
// coordinate, each quotient rounded to the nearest double: that coordinate
// becomes 1 or -1, the ray keeps its direction, and zeros stay exact.
template <> class ResultLineWriter<OutputVector<double>> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working);
  ~ResultLineWriter();
  void write(std::ostream& out, BitList const& zeroSet, RayCoordinates const& x);

private:
  unsigned mColumns;
  std::unique_ptr<ZeroSetCheck> mCheck;
  mpz_class mScale;
  mpz_class mValue;
};

// The zero set itself, padded with '0' to whole words.
template <> class ResultLineWriter<BitList> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working);
  void write(std::ostream& out, BitList const& zeroSet, RayCoordinates const& /*x*/) {
    out << zeroSet.toString();
  }
};

} // namespace double_description

#endif
