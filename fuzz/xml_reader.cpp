// Arbitrary text into the settings-file reader. A text it accepts must
// survive writing and reading back unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "utils/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TXMLDocument document;
  if (!document.LoadFromString(text)) {
    KAVRO_CHECK(document.Root().GetChildCount() == 0, "refused text left a tree behind");
    return 0;
  }
  const std::string written = document.SaveToString();
  TXMLDocument reread;
  KAVRO_CHECK(reread.LoadFromString(written), "own output does not load");
  KAVRO_CHECK(reread.SaveToString() == written, "tree changed through a round trip");
  return 0;
}
