#include "core/DDBitList.h"

#include "core/DDFreeListPool.h"

#include <cstring>

namespace double_description {

namespace {

// Word arrays of freed lists, kept per word count for the next list of that
// size: patterns are copied into references, buckets and leaves by the
// million, all of a few sizes.
using WordPool = FreeListPool<BitList>;

std::uint64_t* storageFor(std::uint64_t n, std::uint64_t* inlineWords) {
  return n <= BitList::INLINE_WORDS ? inlineWords : static_cast<std::uint64_t*>(WordPool::take(n));
}

} // namespace

void BitList::freeWords(std::uint64_t* words, std::uint64_t n) { WordPool::give(words, n); }

void BitList::releasePooled(std::uint64_t n) { WordPool::drain(n); }

BitList::BitList(unsigned long n) : mWordCount(n), mWords(storageFor(n, mInline)) {
  std::memset(mWords, 0, n * sizeof(std::uint64_t));
}

BitList::BitList(unsigned long n, unsigned long fill)
    : mWordCount(n), mWords(storageFor(n, mInline)) {
  for (std::uint64_t i = 0; i < n; ++i)
    mWords[i] = fill;
}

BitList::BitList(BitList const& other)
    : mWordCount(other.mWordCount), mWords(storageFor(other.mWordCount, mInline)) {
  std::memcpy(mWords, other.mWords, mWordCount * sizeof(std::uint64_t));
}

BitList::BitList(BitList&& other) noexcept : mWordCount(other.mWordCount) {
  if (other.isInline()) {
    mWords = mInline;
    std::memcpy(mInline, other.mInline, sizeof(mInline));
  } else {
    mWords = other.mWords;
    other.mWords = other.mInline;
    other.mWordCount = 1;
    other.mInline[0] = 0;
  }
}

void BitList::reshape(std::uint64_t n) {
  if (n == mWordCount)
    return;
  if (n <= INLINE_WORDS) {
    release();
    mWords = mInline;
  } else {
    std::uint64_t* fresh = static_cast<std::uint64_t*>(WordPool::take(n));
    release();
    mWords = fresh;
  }
  mWordCount = n;
}

BitList& BitList::operator=(BitList const& other) {
  if (this == &other)
    return *this;
  reshape(other.mWordCount);
  std::memcpy(mWords, other.mWords, mWordCount * sizeof(std::uint64_t));
  return *this;
}

BitList& BitList::operator=(BitList&& other) noexcept {
  if (this == &other)
    return *this;
  if (other.isInline()) {
    release();
    mWords = mInline;
    mWordCount = other.mWordCount;
    std::memcpy(mInline, other.mInline, sizeof(mInline));
  } else {
    release();
    mWords = other.mWords;
    mWordCount = other.mWordCount;
    other.mWords = other.mInline;
    other.mWordCount = 1;
    other.mInline[0] = 0;
  }
  return *this;
}

void BitList::setFirst(std::uint64_t bits) {
  DD_ASSERT(bits <= 64 * mWordCount);
  const std::uint64_t full = bits / 64;
  for (std::uint64_t w = 0; w < mWordCount; ++w)
    mWords[w] = w < full ? ~std::uint64_t(0) : 0;
  if (bits % 64 != 0)
    mWords[full] = (std::uint64_t(1) << (bits % 64)) - 1;
}

void BitList::assignAnd(BitList const& a, BitList const& b) {
  DD_ASSERT(b.mWordCount >= a.mWordCount);
  reshape(a.mWordCount);
  for (std::uint64_t i = 0; i < mWordCount; ++i)
    mWords[i] = a.mWords[i] & b.mWords[i];
}

BitList BitList::operator-(BitList const& other) const {
  BitList result(mWordCount);
  for (std::uint64_t i = 0; i < mWordCount; ++i)
    result.mWords[i] = mWords[i] & ~other.mWords[i];
  return result;
}

void BitList::resize(unsigned long n) {
  if (n == mWordCount)
    return;
  const std::uint64_t kept = n < mWordCount ? n : mWordCount;
  if (n <= INLINE_WORDS) {
    if (!isInline()) {
      std::uint64_t* old = mWords;
      std::memcpy(mInline, old, kept * sizeof(std::uint64_t));
      freeWords(old, mWordCount);
      mWords = mInline;
    }
  } else {
    std::uint64_t* fresh = static_cast<std::uint64_t*>(WordPool::take(n));
    std::memcpy(fresh, mWords, kept * sizeof(std::uint64_t));
    release();
    mWords = fresh;
  }
  for (std::uint64_t i = kept; i < n; ++i)
    mWords[i] = 0;
  mWordCount = n;
}

std::string BitList::render(std::uint64_t n) const {
  std::string text(n, '0');
  for (std::uint64_t k = 0; k < n; ++k)
    if ((mWords[k >> 6] >> (k & 63)) & 1u)
      text[k] = '1';
  return text;
}

std::string BitList::toString(unsigned short n) const { return render(n); }

// The count is taken at full width: a 16-bit count would wrap for lists of
// 1,024 words and more.
std::string BitList::toString() const { return render(64 * mWordCount); }

} // namespace double_description
