#include "core/DDResultLineWriter.h"

#include <charconv>
#include <cstdint>
#include <sstream>

#include "core/DDAssert.h"
#include "core/DDExtremeRayUncompressor.h"
#include "core/DDMachineMatrix.h"
#include "core/DDRoundedQuotient.h"

namespace double_description {

class ZeroSetCheck {
public:
  ZeroSetCheck(Matrix const& original, Matrix const& working)
      : mOriginal(original),
        mUncompressor(working.getRowCount(), working.getColumns(),
                      static_cast<unsigned>(BitList::wordsFor(working.getRowCount()))),
        mExact(working.getColumns()), mMachine(original) {
    mUncompressor.setMachineMatrix(&mMachine);
  }

  // Whether x is the vector the zero set determines.
  bool determines(BitList const& zeroSet, RayCoordinates const& x) {
    mUncompressor.calcExtremeRay(mOriginal, zeroSet, mExact);
    bool same = true;
    for (unsigned j = 0; j < x.size(); ++j) {
      const std::uint8_t p = mExact.mPosition[j];
      same = same && x.get(j) == (p == 0 ? mpz_class(0) : mExact.mValues[p - 1]);
    }
    mExact.reset();
    return same;
  }

private:
  Matrix const& mOriginal;
  ExtremeRayUncompressor mUncompressor;
  RepresentationVector mExact;
  MachineMatrix mMachine;
};

namespace {

std::unique_ptr<ZeroSetCheck> checkIfChecked(Matrix const& original, Matrix const& working) {
#ifdef REDIVEZ_ASSERTIONS
  return std::make_unique<ZeroSetCheck>(original, working);
#else
  (void)original;
  (void)working;
  return nullptr;
#endif
}

} // namespace

ResultLineWriter<RepresentationVector>::ResultLineWriter(Matrix const& original,
                                                         Matrix const& working)
    : mColumns(working.getColumns()), mCheck(checkIfChecked(original, working)) {}

ResultLineWriter<RepresentationVector>::~ResultLineWriter() = default;

void ResultLineWriter<RepresentationVector>::write(std::ostream& out, BitList const& zeroSet,
                                                   RayCoordinates const& x) {
  DD_ASSERT(mCheck->determines(zeroSet, x));
  (void)zeroSet;
  if (x.isMachine()) {
    // At most 20 characters and a blank per coordinate.
    char line[21 * 256];
    char* end = line;
    for (unsigned j = 0; j < mColumns; ++j) {
      end = std::to_chars(end, line + sizeof line, x.machine()[j]).ptr;
      *end++ = ' ';
    }
    out.write(line, end - line);
    return;
  }
  std::ostringstream line;
  for (unsigned j = 0; j < mColumns; ++j)
    line << x.exact()[j] << " ";
  out << line.str();
}

ResultLineWriter<OutputVector<double>>::ResultLineWriter(Matrix const& original,
                                                         Matrix const& working)
    : mColumns(working.getColumns()), mCheck(checkIfChecked(original, working)) {}

ResultLineWriter<OutputVector<double>>::~ResultLineWriter() = default;

void ResultLineWriter<OutputVector<double>>::write(std::ostream& out, BitList const& zeroSet,
                                                   RayCoordinates const& x) {
  DD_ASSERT(mCheck->determines(zeroSet, x));
  (void)zeroSet;
  unsigned lead = 0;
  while (lead < mColumns && sgn(x.get(lead)) == 0)
    ++lead;
  if (lead < mColumns)
    mScale = abs(x.get(lead));
  std::ostringstream line;
  for (unsigned j = 0; j < mColumns; ++j) {
    mValue = x.get(j);
    if (sgn(mValue) == 0)
      line << 0 << " ";
    else
      line << roundedQuotient(mValue, mScale) << " ";
  }
  out << line.str();
}

ResultLineWriter<BitList>::ResultLineWriter(Matrix const& /*original*/, Matrix const& /*working*/) {
}

} // namespace double_description
