#include "dualset/DDCertificateAssigner.h"

#include <algorithm>

#include "core/DDBitOps.h"

namespace double_description {

using Word = std::uint64_t;

CertificateAssigner::CertificateAssigner(LinearDependenceCache& store, unsigned rowCount,
                                         unsigned d, bool countReferences)
    : mStore(&store), mMaskWords(DualSetRay::maskWordsFor(d)), mCountReferences(countReferences),
      mIndexOf(rowCount, NONE) {}

void CertificateAssigner::indexPrimary(DualSetRay const& ray) {
  mSignature = 0;
  for (unsigned t = 0; t < ray.primaryCount(); ++t) {
    const unsigned row = ray.primaryRows()[t];
    mIndexOf[row] = static_cast<std::uint16_t>(t);
    mSignature |= std::uint64_t(1) << (row % 64);
  }
  DD_ASSERT(mSignature == LinearDependenceVector::signatureOf(ray.primary()));
}

void CertificateAssigner::translate(DualSetRay const& ray, DualSetRay const& parent,
                                    std::vector<std::uint16_t>& out) {
  out.clear();
  BitList const& primary = ray.primary();
  for (unsigned t = 0; t < parent.primaryCount(); ++t) {
    const unsigned row = parent.primaryRows()[t];
    out.push_back(primary.test(row) ? mIndexOf[row] : NONE);
  }
}

void CertificateAssigner::addFromStore(DualSetRay const& ray, unsigned r) {
  mItems.push_back({r, mStore->getLinearDependenceEntry(ray.primary(), mSignature, r), true});
  mMasks.resize(mMasks.size() + mMaskWords);
}

void CertificateAssigner::assign(DualSetRay& ray, BitList const& spare,
                                 std::pair<std::uint64_t, std::uint64_t> spareWords,
                                 CertificateParent const& positive,
                                 CertificateParent const& negative,
                                 std::vector<unsigned> const& later) {
  DD_ASSERT(ray.maskWords() == mMaskWords);
  mItems.clear();
  mMasks.clear();
  indexPrimary(ray);
  bool positiveIndexed = false;
  bool negativeIndexed = false;

  // A parent's certificate keeps its values; only its mask moves to the
  // new ray's primary indices, translated once per parent.
  auto adopt = [&](unsigned r, DualSetRay const& parent, std::size_t rank,
                   std::vector<std::uint16_t>& index, bool& indexed) {
    if (!indexed)
      translate(ray, parent, index);
    indexed = true;
    mItems.push_back({r, parent.certificateAt(rank), false});
    const std::size_t at = mMasks.size();
    mMasks.resize(at + mMaskWords);
    Word const* mask = parent.supportMaskAt(rank);
    forEachSetBit(mask, mMaskWords, [&](std::uint64_t k) {
      const unsigned t = index[k];
      DD_ASSERT(t != NONE);
      setBit(&mMasks[at], t);
    });
  };

  DualSetRay const& p = *positive.mRay;
  DualSetRay const& n = *negative.mRay;
  // The spare rows with their ranks among both parents' secondary rows, in
  // one pass over the raw words: this runs for every new ray.
  Word const* ps = p.secondary().words();
  Word const* ns = n.secondary().words();
  Word const* rows = spare.words();
  std::size_t rankP = 0;
  std::size_t rankN = 0;
  DD_ASSERT(spareWords.second <= spare.wordCount());
  for (std::uint64_t w = spareWords.first; w < spareWords.second; ++w) {
    forEachSetBitOf(rows[w], 64 * w, [&](std::uint64_t k) {
      const Word bit = Word(1) << (k % 64);
      const auto r = static_cast<unsigned>(k);
      DD_ASSERT((ps[w] & bit) && (ns[w] & bit));
      const std::size_t atP = rankP + countBelowBit(ps[w], bit);
      if (disjoint(p.supportMaskAt(atP), positive.mFree, mMaskWords)) {
        adopt(r, p, atP, mPositiveIndex, positiveIndexed);
        return;
      }
      const std::size_t atN = rankN + countBelowBit(ns[w], bit);
      if (disjoint(n.supportMaskAt(atN), negative.mFree, mMaskWords)) {
        adopt(r, n, atN, mNegativeIndex, negativeIndexed);
        return;
      }
      addFromStore(ray, r);
    });
    rankP += static_cast<std::size_t>(__builtin_popcountll(ps[w]));
    rankN += static_cast<std::size_t>(__builtin_popcountll(ns[w]));
  }
  for (unsigned r : later)
    addFromStore(ray, r);
  mStore->update();

  ray.reserveSecondary(mItems.size());
  for (std::size_t i = 0; i < mItems.size(); ++i) {
    Item const& item = mItems[i];
    Word* mask = &mMasks[i * mMaskWords];
    if (item.mFromSupport) {
      LinearDependenceEntry const& e = *item.mEntry;
      for (unsigned k = 0; k < e.supportSize(); ++k) {
        const unsigned t = mIndexOf[e.supportRow(k)];
        DD_ASSERT(ray.primary().test(e.supportRow(k)));
        mask[t / 64] |= Word(1) << (t % 64);
      }
    }
    if (mCountReferences)
      ray.addSecondary(item.mRow, item.mEntry, mask);
    else
      ray.addUncountedSecondary(item.mRow, item.mEntry, mask);
  }
}

} // namespace double_description
