#include "core/DDResultLineWriter.h"

#include <cstdint>
#include <sstream>

#include "core/DDRoundedQuotient.h"

namespace double_description {

namespace {

unsigned wordsForRows(Matrix const& working) {
  return static_cast<unsigned>(BitList::wordsFor(working.getRowCount()));
}

} // namespace

ResultLineWriter<RepresentationVector>::ResultLineWriter(Matrix const& original,
                                                         Matrix const& working)
    : mOriginal(original), mColumns(working.getColumns()),
      mUncompressor(working.getRowCount(), mColumns, wordsForRows(working)), mVector(mColumns),
      mMachine(original) {
  mUncompressor.setMachineMatrix(&mMachine);
}

void ResultLineWriter<RepresentationVector>::write(std::ostream& out, BitList const& zeroSet) {
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

ResultLineWriter<OutputVector<double>>::ResultLineWriter(Matrix const& original,
                                                         Matrix const& working)
    : mOriginal(original), mColumns(working.getColumns()),
      mUncompressor(working.getRowCount(), mColumns, wordsForRows(working)), mExact(mColumns),
      mMachine(original) {
  mUncompressor.setMachineMatrix(&mMachine);
}

void ResultLineWriter<OutputVector<double>>::write(std::ostream& out, BitList const& zeroSet) {
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

ResultLineWriter<BitList>::ResultLineWriter(Matrix const& /*original*/,
                                            Matrix const& /*working*/) {}

} // namespace double_description
