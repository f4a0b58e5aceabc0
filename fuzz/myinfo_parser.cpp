// Arbitrary bytes into the "$MyINFO" and client-tag parsers. Every field of
// an accepted message must lie inside it, and the message rebuilt from its
// fields must read the same again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/client_tag.h"
#include "core/myinfo_parser.h"
#include "base/exceptions.h"

namespace {

bool Inside(std::string_view part, std::string_view whole) {
  if (part.empty()) return true;
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

std::string Rebuild(const TMyINFOFields& f) {
  return std::string(kMyINFOPrefix) + std::string(f.Nick) + ' ' + std::string(f.Description) +
         std::string(f.TagText) + "$ $" + std::string(f.Speed) + f.Status + '$' +
         std::string(f.Email) + '$' + std::to_string(f.Share) + "$|";
}

void CheckTag(std::string_view text) {
  TClientTag tag;
  if (!ParseClientTag(text, tag)) return;
  KAVRO_CHECK(Inside(tag.Version, text), "tag version outside the tag");
  KAVRO_CHECK(tag.Hubs >= 0 && tag.Slots >= 0, "negative tag count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  CheckTag(message);
  (void)ClientNameOfTag(message);

  TMyINFOFields fields;
  if (!ParseMyINFO(message, fields)) return 0;
  KAVRO_CHECK(Inside(fields.Nick, message) && Inside(fields.Description, message) &&
                  Inside(fields.TagText, message) && Inside(fields.Speed, message) &&
                  Inside(fields.Email, message),
              "field outside the message");
  KAVRO_CHECK(fields.Share >= 0, "negative share");
  KAVRO_CHECK(MyINFOHasNick(message, fields.Nick), "parsed nick not found by MyINFOHasNick");
  if (fields.TagPresent) CheckTag(fields.TagText);

  const std::string again = Rebuild(fields);
  TMyINFOFields reread;
  KAVRO_CHECK(ParseMyINFO(again, reread), "rebuilt message refused");
  KAVRO_CHECK(reread.Nick == fields.Nick && reread.Description == fields.Description &&
                  reread.TagText == fields.TagText && reread.Speed == fields.Speed &&
                  reread.Status == fields.Status && reread.Email == fields.Email &&
                  reread.Share == fields.Share,
              "rebuilt message reads differently");
  return 0;
}
