// The text penalties: the slang table, the digit and case steps and the
// muffled words, with seeded generators.
#include <gtest/gtest.h>

#include <string>

#include "base/case_tables.h"
#include "security/text_penalties.h"

namespace {

// Undoes the case and digit steps so the slang table can be compared.
std::string Plain(std::string text) {
  if (text.ends_with(" *skrattar*")) text.resize(text.size() - 11);
  else if (text.ends_with(" *ler*")) text.resize(text.size() - 6);
  for (char& c : text) c = static_cast<char>(LowerChar(c));
  return text;
}

TEST(LunarizeTest, SlangRowsInOrder) {
  struct Case {
    const char* in;
    const char* out;  // lower case, digits applied
  } const cases[] = {
      {"a det b", "a d b"},
      {"x och y", "x \xE5 y"},
      {"a \xC4r b", "a e b"},                 // upper-case  folds first
      {"en kram till", "enkjam1z t1ll"},     // no leading space, " till" not followed by space
      {"ge honom den", "gehan den"},
      {"a de b", "a d0m b"},
      {"back igt", "bakk 1t"},               // row 30 then row 31
      {"a tillbaka b", "a tebakz b"},
      {"a elit b", "a 1337 b"},
  };
  for (const Case& c : cases) {
    TLunarize luna;
    luna.Seed(7);
    EXPECT_EQ(Plain(luna.LunarizeText(c.in)), c.out) << c.in;
  }
}

TEST(LunarizeTest, CaseParityCountsFromTheEnd) {
  // With either r, bytes an even or odd distance from the end change case.
  bool seen[2] = {false, false};
  for (unsigned seed = 0; seed < 64; ++seed) {
    TLunarize luna;
    luna.Seed(seed);
    std::string out = luna.LunarizeText("abcd\xE9");
    if (out.ends_with(" *skrattar*")) out.resize(out.size() - 11);
    else if (out.ends_with(" *ler*")) out.resize(out.size() - 6);
    ASSERT_EQ(out.size(), 5u);
    if (out == "AbCd\xC9") seen[0] = true;       // 1252 pair e-acute
    else if (out == "aBcD\xE9") seen[1] = true;
    else ADD_FAILURE() << out;
  }
  EXPECT_TRUE(seen[0] && seen[1]);
}

// The same draw on texts of odd and even length: the last byte's case
// matches, as the parity counts from the end.
TEST(LunarizeTest, LastByteCaseIsTheSameForAnyLength) {
  for (unsigned seed = 0; seed < 16; ++seed) {
    TLunarize even;
    even.Seed(seed);
    TLunarize odd;
    odd.Seed(seed);
    const std::string a = even.LunarizeText("ab");
    const std::string b = odd.LunarizeText("abc");
    EXPECT_EQ(a[1] == 'B', b[2] == 'C') << a << " " << b;
  }
}

TEST(LunarizeTest, LaughAboutOneInFour) {
  int laughs = 0;
  TLunarize luna;
  luna.Seed(11);
  for (int i = 0; i < 4000; ++i) {
    const std::string out = luna.LunarizeText("x");
    if (out.size() > 1) {
      ++laughs;
      EXPECT_TRUE(out == "x *skrattar*" || out == "X *skrattar*" || out == "x *ler*" ||
                  out == "X *ler*")
          << out;
    }
  }
  EXPECT_GT(laughs, 800);
  EXPECT_LT(laughs, 1200);
}

TEST(LunarizeTest, BufferFormKeepsWhatIsBeforeOffset) {
  TLunarize luna;
  luna.Seed(3);
  std::string buffer = "<Bob> sos";
  luna.ApplyToBuffer(buffer, 6);
  EXPECT_TRUE(buffer.starts_with("<Bob> z0z")) << buffer;
}

// '*', letters of "mflu", '*' for each word; the shape only.
std::string Shape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == 'm' || c == 'f' || c == 'l' || c == 'u') out += 'x';
    else out += c;
  }
  return out;
}

TEST(KennylizeTest, Shapes) {
  struct Case {
    const char* in;
    const char* shape;
  } const cases[] = {
      {"hi  you", "*xxx* *xxx*"},
      {"a", "*xxx*"},
      {"  lead", "*xxxx*"},
      {"word ", "*xxxx* "},
      {"", ""},
      {"\xE5\xE4\xF6 longer", "*xxx* *xxxxxx*"},
  };
  for (const Case& c : cases) {
    TKennylize kenny;
    kenny.Seed(5);
    EXPECT_EQ(Shape(kenny.KennylizeText(c.in)), c.shape) << c.in;
  }
}

TEST(KennylizeTest, BufferFormAndEveryLetterDrawn) {
  TKennylize kenny;
  kenny.Seed(9);
  std::string buffer = "<Bob> ";
  kenny.ApplyToBuffer(buffer, 6);
  EXPECT_EQ(buffer, "<Bob> ");
  buffer += std::string(400, 'q');
  kenny.ApplyToBuffer(buffer, 6);
  for (const char c : std::string_view("mflu"))
    EXPECT_NE(buffer.find(c, 6), std::string::npos) << c;
}

}  // namespace
