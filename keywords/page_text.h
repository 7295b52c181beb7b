// Text operations around keyword matching: escaping for the block page and the log, the
// part of a chunk that must precede an inserted block page, the excerpt around a hit, the
// UTF-8 guess for pages without a declared charset, and URL decoding. All work on byte
// strings in the page's own encoding and keep no state.
#pragma once

#include <string>
#include <string_view>

namespace orv::keywords {

// Replaces "<", ">", the double quote, the space and the apostrophe by "&lt;", "&gt;",
// "&quot;", "&nbsp;" and "&amp;". The apostrophe deliberately shows as an ampersand, and an
// ampersand already in the text is left alone, so an escaped text can be escaped again.
void EscapeHtml(std::string& text);

// The start of `chunk` that has to go out in front of a block page replacing the rest of
// the chunk: up to an element that is opened but not closed in the chunk (title, iframe,
// noframes, noscript, script, style, textarea, object, meta), else up to a ">" that comes
// before the first "<", else nothing. An empty chunk leaves `prefix` untouched.
void BlockPagePrefix(std::string_view chunk, std::string& prefix);

// The 60-byte window around `position` (30 bytes either side, shifted right at the start
// of the text) with every LF, CR and space removed; empty when the position is outside.
std::string MatchExcerpt(std::string_view text, long position);

// The charset guess for a page that declares none: true after two UTF-8 lead sequences,
// false after four GBK-looking pairs or at the end.
bool LooksLikeUtf8(std::string_view text);

// True when the text is not empty and every byte is 0x01..0x7F.
bool IsPureAscii(std::string_view text);

// Percent-decoding with "+" as space. An invalid first hex digit counts as 15, an invalid
// second digit makes the byte 0xFF; a "%" too close to the end yields 0xFF and ends the text.
std::string UrlDecode(std::string_view text);
// UrlDecode with the result lower-cased as LowerAsciiBytes would, in the same pass.
std::string UrlDecodeLowered(std::string_view text);
// The same into the start of `buffer`, which is grown when too short and never shrunk, so
// that a buffer kept from page to page is neither allocated nor zero-filled again. The result
// views the buffer; `text` must not.
std::string_view UrlDecodeLoweredInto(std::string_view text, std::string& buffer);

// Lower-cases "A".."Z" byte by byte, trail bytes of double-byte characters included (the
// same result as codepage::LowerAsciiInPlace), eight bytes per step: a page screen lowers
// every chunk and most of its bytes are no letters to change.
void LowerAsciiBytes(std::string& text);
// The same on a copy, lowered as it is copied rather than in a second pass.
std::string LowerAsciiCopy(std::string_view text);
// The same into the start of a kept buffer, as UrlDecodeLoweredInto.
std::string_view LowerAsciiCopyInto(std::string_view text, std::string& buffer);

}  // namespace orv::keywords
