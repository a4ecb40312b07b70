#ifndef REDIVEZ_APP_DDOUTPUT_H
#define REDIVEZ_APP_DDOUTPUT_H

#include <gmpxx.h>

#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "app/DDPendingFile.h"
#include "app/DDRoundedQuotient.h"
#include "core/DDBitList.h"
#include "core/DDExtremeRayUncompressor.h"
#include "core/DDMachineMatrix.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"
#include "core/DDSingleSetRay.h"
#include "dualset/DDDualSetRay.h"
#include "iteration/DDExtremeRayGenerator.h"

namespace double_description {

// A result or plot file that could not be created or written. The message is
// the line shown to the user.
class OutputError : public std::runtime_error {
public:
  explicit OutputError(const std::string& fileName)
      : std::runtime_error("Error: The file '" + fileName + "' could not be written!") {}
};

// The zero set that a result line of type T reads from a ray; scratch is there
// for ray types whose set has to be put together first.
template <class T> BitList const& resultZeroSet(SingleSetRay const& ray, BitList& /*scratch*/) {
  return ray.mActiveSet;
}

// The primary set alone fixes the integer vector; the other formats show the
// whole zero set.
template <class T> BitList const& resultZeroSet(DualSetRay const& ray, BitList& scratch) {
  if (std::is_same<T, RepresentationVector>::value)
    return ray.primary();
  const std::uint64_t n = ray.primary().wordCount();
  if (scratch.wordCount() != n)
    scratch = BitList(n);
  std::uint64_t* out = scratch.words();
  const std::uint64_t* p = ray.primary().words();
  const std::uint64_t* s = ray.secondary().words();
  for (std::uint64_t w = 0; w < n; ++w)
    out[w] = p[w] | s[w];
  return scratch;
}

// Words of a zero set over the given rows (at least one).
inline unsigned wordsForRows(unsigned rows) { return rows == 0 ? 1 : (rows + 63) / 64; }

// Writes one result line (without its newline) for a ray's zero set; T selects
// the format. The working objects are built once per file.
template <class T> class ResultLineWriter;

// Exact primitive integer coordinates.
template <> class ResultLineWriter<RepresentationVector> {
public:
  ResultLineWriter(Matrix const& original, Matrix const& working)
      : mOriginal(original), mColumns(working.getColumns()),
        mUncompressor(working.getRowCount(), mColumns, wordsForRows(working.getRowCount())),
        mVector(mColumns), mMachine(original) {
    mUncompressor.setMachineMatrix(&mMachine);
  }

  void write(std::ostream& out, BitList const& zeroSet) {
    mUncompressor.calcExtremeRay(mOriginal, zeroSet, mVector);
    std::ostringstream line;
    for (unsigned j = 0; j < mColumns; ++j) {
      const std::uint8_t p = mVector.mPosition[j];
      if (p == 0)
        line << 0 << " ";
      else
        line << mVector.mValues[p - 1] << " ";
    }
    out << line.str();
    mVector.reset();
  }

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
  ResultLineWriter(Matrix const& original, Matrix const& working)
      : mOriginal(original), mColumns(working.getColumns()),
        mUncompressor(working.getRowCount(), mColumns, wordsForRows(working.getRowCount())),
        mExact(mColumns), mMachine(original) {
    mUncompressor.setMachineMatrix(&mMachine);
  }

  void write(std::ostream& out, BitList const& zeroSet) {
    mUncompressor.calcExtremeRay(mOriginal, zeroSet, mExact);
    mpz_class const* lead = nullptr;
    for (unsigned j = 0; j < mColumns && lead == nullptr; ++j) {
      const std::uint8_t p = mExact.mPosition[j];
      if (p != 0 && sgn(mExact.mValues[p - 1]) != 0)
        lead = &mExact.mValues[p - 1];
    }
    if (lead != nullptr)
      mScale = abs(*lead);
    std::ostringstream line;
    for (unsigned j = 0; j < mColumns; ++j) {
      const std::uint8_t p = mExact.mPosition[j];
      if (p == 0 || sgn(mExact.mValues[p - 1]) == 0)
        line << 0 << " ";
      else
        line << roundedQuotient(mExact.mValues[p - 1], mScale) << " ";
    }
    out << line.str();
    mExact.reset();
  }

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
  ResultLineWriter(Matrix const& /*original*/, Matrix const& /*working*/) {}

  void write(std::ostream& out, BitList const& zeroSet) {
    mWork = zeroSet;
    out << mWork.toString();
    for (std::uint64_t w = 0; w < mWork.wordCount(); ++w)
      mWork.words()[w] = 0;
  }

private:
  BitList mWork;
};

// Writes the whole result file or, throwing OutputError, leaves the file
// name as it was.
template <class R>
template <class T>
void ExtremeRayGenerator<R>::writeExtremeRays(char const* fileName) {
  PendingFile output(fileName);
  if (!output.isOpen())
    throw OutputError(fileName);
  std::ostream& out = output.stream();
  ResultLineWriter<T> writer(mOriginalMatrix, mWorkingMatrix);
  BitList scratch;
  out << "Extreme rays:\n";
  for (auto ray = mRayCache.mFinalRays.begin(); ray != mRayCache.mFinalRays.end() && out; ++ray) {
    writer.write(out, resultZeroSet<T>(**ray, scratch));
    out << '\n';
  }
  if (!output.commit())
    throw OutputError(fileName);
}

} // namespace double_description

#endif
