// The working memory of keyword scans, owned by the caller and passed to every call that
// scans: arrays indexed by pattern, state and rule, reused from call to call, and the last
// pass made with them. Lists that share one automaton (a compiled group) and are asked about
// the same text in a row reuse that pass instead of scanning again.
//
// A context serves one call at a time: a thread keeps its own, or leases one from a pool its
// owner keeps (a library loaded into a server must not keep one per thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace orv::keywords {

class ScanContext {
 public:
  ScanContext();
  ~ScanContext();
  ScanContext(const ScanContext&) = delete;
  ScanContext& operator=(const ScanContext&) = delete;

  // The caller's word that `text` (these bytes at this address and length) stays as it is
  // until UnpinText or the next PinText. Until then, scans of exactly this text share one
  // pass known by its address alone. Without the word a later list can only tell the text is
  // the same by comparing it with a copy of the earlier one, which costs a copy and a compare
  // of the whole text per list (and a text over a few MiB is not copied: it is scanned
  // again). Changing the bytes while the word stands breaks it: lists may then answer for
  // the old bytes. ReplaceWords through this context is the exception: it knows what it
  // changed.
  void PinText(std::string_view text);
  void UnpinText();
  // The caller's word that `copy` holds the same bytes as the pinned text and stands in for it
  // from now on, under the same pin: the pass made of the pinned text is then the pass of the
  // copy. A screen that rewrites a copy of the text it screened (ReplaceWords) need not scan
  // it again. Without a pin standing, nothing happens. A copy of other bytes breaks the word.
  void MovePin(std::string_view copy);

  // PinText for as long as it lives.
  class Pin {
   public:
    Pin(ScanContext& context, std::string_view text) : context_(context) { context_.PinText(text); }
    ~Pin() { context_.UnpinText(); }
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

   private:
    ScanContext& context_;
  };

  // Whole-text passes made with this context so far (wraps): tells whether calls shared one.
  std::uint32_t Passes() const;

  struct State;
  State& state() { return *state_; }

 private:
  std::unique_ptr<State> state_;
};

}  // namespace orv::keywords
