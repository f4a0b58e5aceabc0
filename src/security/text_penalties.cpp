#include "security/text_penalties.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/case_tables.h"
#include "utils/general.h"

namespace {

// Applied in this order, each over the whole text; texts are Windows-1252.
// Two rows drop their leading space on purpose: "kjamiz" and "han" glue to
// the word before.
constexpr std::array<std::pair<std::string_view, std::string_view>, 31> kSlang{{
    {" det ", " d "},
    {" jag ", " ja "},
    {" vad ", " va "},
    {" \xE4r ", " e "},
    {" eller ", " lr "},
    {" ocks\xE5 ", " ox\xE5 "},
    {" dem ", " dom "},
    {" de ", " dom "},
    {" dig ", " dej "},
    {" mig ", " mej "},
    {" till ", " te "},
    {" n\xE5gra ", " n\xE5ra "},
    {" var ", " va "},
    {" d\xE5 ", " da "},
    {" nej ", " n\xE4 "},
    {" och ", " \xE5 "},
    {" n\xE5gon ", " n\xE5n "},
    {" n\xE5got ", " n\xE5t "},
    {" med ", " me "},
    {" vara ", " va "},
    {" bara ", " ba "},
    {" sedan ", " sen "},
    {" ju ", " juh "},
    {" kram ", "kjamiz "},
    {" honom ", "han "},
    {" elit ", " 1337 "},
    {" tillbaks ", " tebaks "},
    {" tillbaka ", " tebaks "},
    {" tillsammans ", " tesammans "},
    {"ck", "kk"},
    {"igt", "it"},
}};

constexpr std::string_view kMuffle = "mflu";

}  // namespace

std::string TLunarize::LunarizeText(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(LowerChar(c));
  for (const auto& [from, to] : kSlang) ReplaceAll(out, from, to);
  const std::size_t r = std::uniform_int_distribution<int>(0, 1)(rng_);
  const std::size_t n = out.size();
  for (std::size_t i = 0; i < n; ++i) {
    char& c = out[i];
    if (c == 'i') c = '1';
    else if (c == 'o') c = '0';
    else if (c == 's') c = 'z';
    else if ((n - i + r) % 2 == 1) c = static_cast<char>(UpperChar(c));
  }
  std::uniform_int_distribution<int> quarter(0, 3);
  if (quarter(rng_) == 0) out += std::uniform_int_distribution<int>(0, 1)(rng_) == 0 ? " *skrattar*" : " *ler*";
  return out;
}

void TLunarize::ApplyToBuffer(std::string& buffer, std::size_t offset) {
  offset = std::min(offset, buffer.size());
  std::string done = LunarizeText(std::string_view(buffer).substr(offset));
  buffer.resize(offset);
  buffer += done;
}

std::string TKennylize::KennylizeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2 + 8);
  std::uniform_int_distribution<int> letter(0, 3);
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {  // leading, or after another space: dropped
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && text[end] != ' ') ++end;
    const std::size_t letters = std::max<std::size_t>(end - i, 3);
    out += '*';
    for (std::size_t k = 0; k < letters; ++k) out += kMuffle[static_cast<std::size_t>(letter(rng_))];
    out += '*';
    if (end < text.size()) out += ' ';  // the space that ended the run
    i = end + 1;
  }
  return out;
}

void TKennylize::ApplyToBuffer(std::string& buffer, std::size_t offset) {
  if (offset >= buffer.size()) return;
  std::string done = KennylizeText(std::string_view(buffer).substr(offset));
  buffer.resize(offset);
  buffer += done;
}
