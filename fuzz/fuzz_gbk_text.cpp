// Random bytes as a stored list and as typed text: what is shown of stored bytes is stored
// back as the same bytes, and typed text is either stored whole or refused with a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/edit_forms.h"
#include "store/gbk_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const orv::store::GbkEncoding back =
      orv::store::Utf8ToGbkStrict(orv::store::GbkToUtf8Lossless(bytes));
  if (!back.ok || back.gbk != bytes) std::abort();

  const orv::store::GbkEncoding typed = orv::store::Utf8ToGbkStrict(bytes);
  if (typed.ok == (typed.line != 0)) std::abort();

  // A list shown and saved unchanged keeps its entries.
  const std::string value = orv::store::ListEditToValue(orv::store::ListValueToEdit(bytes));
  if (bytes.find_first_of("\r\n") == std::string_view::npos && bytes.find("||") == bytes.npos &&
      value != bytes) {
    std::abort();
  }
  return 0;
}
