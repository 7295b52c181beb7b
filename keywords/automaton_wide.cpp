// The bitmap round of CollectOutputs for processors with AVX2, built for them alone and
// chosen at run time, so that the library still runs on any x86-64 (and elsewhere).
//
// Where a dictionary and a page share a script, nearly every byte starts a candidate, and the
// bitmap round costs a dozen instructions per start and tier: a load, a mask, a multiply, two
// shifts, a load from the bitmap and the bit's test. Here eight starts go through each step at
// once, and the bitmap words come in one gather.
#include <atomic>

#include "keywords/automaton.h"

#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define ORV_WIDE_STARTS 1
#include <immintrin.h>
#endif

namespace orv::keywords {

namespace {

std::atomic<bool> wideAllowed{true};

}  // namespace

void Automaton::AllowWideStarts(bool allowed) {
  wideAllowed.store(allowed, std::memory_order_relaxed);
}

#if defined(ORV_WIDE_STARTS)

bool Automaton::WideStartsRun() {
  return wideAllowed.load(std::memory_order_relaxed) && __builtin_cpu_supports("avx2") != 0;
}

__attribute__((target("avx2"))) void Automaton::WideStarts(const unsigned char* block,
                                                           std::uint64_t candidates,
                                                           std::uint64_t& passedLong,
                                                           std::uint64_t& passedShort) const {
  // Lane j of eight holds the four bytes from start j (low) or from start j + 4 (high) of
  // the sixteen loaded into both 128-bit halves.
  const __m256i lowBytes = _mm256_setr_epi8(0, 1, 2, 3, 1, 2, 3, 4, 2, 3, 4, 5, 3, 4, 5, 6,  //
                                            4, 5, 6, 7, 5, 6, 7, 8, 6, 7, 8, 9, 7, 8, 9, 10);
  const __m256i highBytes =
      _mm256_setr_epi8(4, 5, 6, 7, 5, 6, 7, 8, 6, 7, 8, 9, 7, 8, 9, 10,  //
                       8, 9, 10, 11, 9, 10, 11, 12, 10, 11, 12, 13, 11, 12, 13, 14);
  const __m256i lowFactor = _mm256_set1_epi32(static_cast<int>(kBitHashLow));
  const __m256i highFactor = _mm256_set1_epi32(static_cast<int>(kBitHashHigh));
  const __m256i bitInWord = _mm256_set1_epi32(31);
  std::uint64_t* const passed[2] = {&passedLong, &passedShort};
  for (std::size_t t = 0; t < tiers_.size(); ++t) {
    const GramTier& tier = tiers_[t];
    *passed[t] = 0;
    if (tier.length == 0) continue;
    // The gram's bytes in each half: up to four in the low one, the rest in the high one.
    const std::uint64_t gramMask = LowBytes(tier.length);
    const __m256i lowMask =
        _mm256_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(gramMask)));
    const __m256i highMask =
        _mm256_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(gramMask >> 32)));
    const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(tier.shift));
    // The bitmap as 32-bit words: bit b of the 64-bit words is bit b & 31 of word b >> 5.
    const auto* words = reinterpret_cast<const int*>(tier.bits.data());
    std::uint64_t mask = 0;
    for (unsigned part = 0; part < 8; ++part) {
      if (((candidates >> (8 * part)) & 0xFF) == 0) continue;
      const __m256i bytes = _mm256_broadcastsi128_si256(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * part)));
      const __m256i low = _mm256_and_si256(_mm256_shuffle_epi8(bytes, lowBytes), lowMask);
      const __m256i high = _mm256_and_si256(_mm256_shuffle_epi8(bytes, highBytes), highMask);
      const __m256i hash = _mm256_xor_si256(_mm256_mullo_epi32(low, lowFactor),
                                            _mm256_mullo_epi32(high, highFactor));
      const __m256i bit = _mm256_srl_epi32(hash, shift);
      const __m256i word = _mm256_i32gather_epi32(words, _mm256_srli_epi32(bit, 5), 4);
      // The bit moved to the top of its lane, where movemask reads it.
      const __m256i top =
          _mm256_sllv_epi32(word, _mm256_sub_epi32(bitInWord, _mm256_and_si256(bit, bitInWord)));
      const auto found = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(top)));
      mask |= std::uint64_t{found} << (8 * part);
    }
    *passed[t] = mask;
  }
}

#else

bool Automaton::WideStartsRun() {
  return false;
}

void Automaton::WideStarts(const unsigned char*, std::uint64_t, std::uint64_t& passedLong,
                           std::uint64_t& passedShort) const {
  passedLong = passedShort = 0;
}

#endif

}  // namespace orv::keywords
