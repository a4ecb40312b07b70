#ifndef DD_BITLIST_H
#define DD_BITLIST_H

#include <cstdint>
#include <string>

namespace double_description {

// A fixed-size bit set of 64-bit words; bit i is bit (i mod 64) of word i / 64.
// Lists of up to INLINE_WORDS words (up to 128 rows) keep their words inside the
// object, so copying them allocates nothing; longer lists own one heap array.
class BitList {
public:
  static constexpr std::uint64_t INLINE_WORDS = 2;

  BitList() : mWordCount(1), mWords(mInline) { mInline[0] = 0; }
  explicit BitList(unsigned long n);
  BitList(unsigned long n, unsigned long fill);
  BitList(BitList const& other);
  BitList(BitList&& other) noexcept;
  ~BitList() { release(); }

  BitList& operator=(BitList const& other);
  BitList& operator=(BitList&& other) noexcept;

  // Set difference over this list's words: this AND NOT other.
  BitList operator-(BitList const& other) const;

  // Keeps the first min(n, wordCount()) words; new words are zero.
  void resize(unsigned long n);

  // The first n bits, '1' or '0' each, bit 0 first.
  std::string toString(unsigned short n) const;
  // Every bit of every word.
  std::string toString() const;

  std::uint64_t wordCount() const { return mWordCount; }
  std::uint64_t* words() { return mWords; }
  const std::uint64_t* words() const { return mWords; }

private:
  bool isInline() const { return mWords == mInline; }
  void release() {
    if (!isInline())
      freeWords(mWords, mWordCount);
  }
  static void freeWords(std::uint64_t* words, std::uint64_t n);
  // Gives the list storage for n words without keeping the old contents.
  void reshape(std::uint64_t n);
  std::string render(std::uint64_t n) const;

  std::uint64_t mWordCount;
  std::uint64_t* mWords;
  std::uint64_t mInline[INLINE_WORDS];
};

} // namespace double_description

#endif
