#include "core/DDBitList.h"

#include <cstring>

namespace double_description {

namespace {
std::uint64_t* storageFor(std::uint64_t n, std::uint64_t* inlineWords) {
  return n <= BitList::INLINE_WORDS ? inlineWords : new std::uint64_t[n];
}
} // namespace

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
    std::uint64_t* fresh = new std::uint64_t[n];
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
      delete[] old;
      mWords = mInline;
    }
  } else {
    std::uint64_t* fresh = new std::uint64_t[n];
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
