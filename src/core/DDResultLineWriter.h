#ifndef DD_RESULTLINEWRITER_H
#define DD_RESULTLINEWRITER_H

#include <gmpxx.h>

#include <ostream>

#include "core/DDBitList.h"
#include "core/DDExtremeRayUncompressor.h"
#include "core/DDMachineMatrix.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"

namespace double_description {

// Writes one result line (without its newline) for a ray's zero set; T
// selects the format. The working objects are built once per file.
template <class T> class ResultLineWriter;

// Exact primitive integer coordinates.
template <> class ResultLineWriter<RepresentationVector> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working);
  void write(std::ostream& out, BitList const& zeroSet);

private:
  Matrix const& mOriginal;
  unsigned mColumns;
  ExtremeRayUncompressor mUncompressor;
  RepresentationVector mVector;
  MachineMatrix mMachine;
};

// The exact primitive vector divided by the magnitude of its first nonzero
// coordinate, each quotient rounded to the nearest double: that coordinate
// becomes 1 or -1, the ray keeps its direction, and zeros stay exact.
template <> class ResultLineWriter<OutputVector<double>> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working);
  void write(std::ostream& out, BitList const& zeroSet);

private:
  Matrix const& mOriginal;
  unsigned mColumns;
  ExtremeRayUncompressor mUncompressor;
  RepresentationVector mExact;
  MachineMatrix mMachine;
  mpz_class mScale;
};

// The zero set itself, padded with '0' to whole words.
template <> class ResultLineWriter<BitList> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working);
  void write(std::ostream& out, BitList const& zeroSet) { out << zeroSet.toString(); }
};

} // namespace double_description

#endif
