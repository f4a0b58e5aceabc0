#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <random>
#include <string>

#include "utils/xml_document.h"

namespace {

// Same tree: names, texts, attributes in order, children in order.
void ExpectSameTree(const TXMLNode& a, const TXMLNode& b, const std::string& path = "") {
  const std::string here = path + "/" + a.Name;
  EXPECT_EQ(a.Name, b.Name) << here;
  EXPECT_EQ(a.Text, b.Text) << here;
  ASSERT_EQ(a.GetAttributeCount(), b.GetAttributeCount()) << here;
  for (int i = 0; i < a.GetAttributeCount(); ++i) {
    EXPECT_EQ(a.GetAttributeAt(i).Name, b.GetAttributeAt(i).Name) << here;
    EXPECT_EQ(a.GetAttributeAt(i).Value, b.GetAttributeAt(i).Value) << here;
  }
  ASSERT_EQ(a.GetChildCount(), b.GetChildCount()) << here;
  for (int i = 0; i < a.GetChildCount(); ++i) ExpectSameTree(*a.GetChild(i), *b.GetChild(i), here);
}

struct AcceptCase {
  const char* what;
  std::string text;
  std::function<void(const TXMLNode&)> check;
};

void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.what; }

class XMLReaderAcceptTest : public testing::TestWithParam<AcceptCase> {};

TEST_P(XMLReaderAcceptTest, Reads) {
  const AcceptCase& c = GetParam();
  TXMLDocument doc;
  ASSERT_TRUE(doc.LoadFromString(c.text)) << c.what;
  c.check(doc.Root());
}

INSTANTIATE_TEST_SUITE_P(
    Table, XMLReaderAcceptTest,
    testing::Values(
        AcceptCase{"hand-written file without declaration",
                   "<Hub Name=Test>text</Hub>",
                   [](const TXMLNode& r) {
                     EXPECT_EQ(r.Name, "Hub");
                     EXPECT_EQ(r.GetAttribute("name"), "Test");
                     EXPECT_EQ(r.Text, "text");
                   }},
        AcceptCase{"bytes before the declaration are skipped",
                   "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<a/>",
                   [](const TXMLNode& r) { EXPECT_EQ(r.Name, "a"); }},
        AcceptCase{"quoted values keep spaces, either quote, spaces around =",
                   "<Lang Name=\"English (UK)\" b = 'it\"s' c=\"\"/>",
                   [](const TXMLNode& r) {
                     EXPECT_EQ(r.GetAttribute("Name"), "English (UK)");
                     EXPECT_EQ(r.GetAttribute("b"), "it\"s");
                     ASSERT_NE(r.FindAttribute("c"), nullptr);
                     EXPECT_EQ(r.GetAttribute("c", "x"), "");
                   }},
        AcceptCase{"unquoted value before the self-closing slash",
                   "<a x=1/>",
                   [](const TXMLNode& r) {
                     EXPECT_EQ(r.GetAttribute("x"), "1");
                     EXPECT_EQ(r.GetChildCount(), 0);
                   }},
        AcceptCase{"a repeated attribute keeps the first",
                   "<a x='1' X='2'/>",
                   [](const TXMLNode& r) {
                     EXPECT_EQ(r.GetAttributeCount(), 1);
                     EXPECT_EQ(r.GetAttribute("x"), "1");
                   }},
        AcceptCase{"character references, named escapes, unknown entities",
                   "<a>&#65;&#x42;&#233;&lt;&amp;lt;&foo; &#999; &#; &</a>",
                   [](const TXMLNode& r) {
                     EXPECT_EQ(r.Text, "AB\xE9<&lt;&foo; &#999; &#; &");
                   }},
        AcceptCase{"a text is kept exactly, spaces and line breaks included",
                   "<a>  x\r\n y </a>",
                   [](const TXMLNode& r) { EXPECT_EQ(r.Text, "  x\r\n y "); }},
        AcceptCase{"text between children is ignored",
                   "<r>lead<a>1</a>mid<b/>tail</r>",
                   [](const TXMLNode& r) {
                     EXPECT_EQ(r.Text, "");
                     ASSERT_EQ(r.GetChildCount(), 2);
                     EXPECT_EQ(r.GetChild(0)->Text, "1");
                     EXPECT_EQ(r.GetChild(1)->Name, "b");
                   }},
        AcceptCase{"nested elements of the same name pair up",
                   "<r><a><a>in</a></a><a>out</a></r>",
                   [](const TXMLNode& r) {
                     ASSERT_EQ(r.GetChildCount(), 2);
                     EXPECT_EQ(r.GetChild(0)->GetChild(0)->Text, "in");
                     EXPECT_EQ(r.FindChild("a")->Text, "out");
                   }},
        AcceptCase{"space before the closing '>' and trailing layout",
                   "<r>\r\n\t<a >x</a >\r\n</r >\r\n\r\n",
                   [](const TXMLNode& r) { EXPECT_EQ(r.FindChild("a")->Text, "x"); }},
        AcceptCase{"'>' inside a quoted value",
                   "<a v=\"1>2\"/>",
                   [](const TXMLNode& r) { EXPECT_EQ(r.GetAttribute("v"), "1>2"); }}));

// Each is a broken file: the load fails and leaves nothing to apply.
class XMLReaderRejectTest : public testing::TestWithParam<const char*> {};

TEST_P(XMLReaderRejectTest, FailsAndLeavesAnEmptyTree) {
  TXMLDocument doc;
  doc.Root().Name = "Stale";
  doc.Root().AddChild("Stale");
  EXPECT_FALSE(doc.LoadFromString(GetParam()));
  EXPECT_EQ(doc.Root().Name, "");
  EXPECT_EQ(doc.Root().GetChildCount(), 0);
  EXPECT_EQ(doc.Root().GetAttributeCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, XMLReaderRejectTest,
    testing::Values("", "   \r\n", "garbage without elements", "<?xml version=\"1.0\"?>",
                    "<?xml version=\"1.0\"", "<root>", "<root>text", "<root><child></root>",
                    "<root><child>", "<root><child/>", "<root", "<root attr", "<root a=\"1>",
                    "<root a='1/>", "<root a>x</root>", "<root =1/>", "<root a=/>x",
                    "<root></Root>", "<root></other>", "<root></root", "<root/", "<a/ >",
                    "<root>x</root><second/>", "<root/>junk", "</root>", "<>", "< root/>",
                    "<root><<x/></root>", "<root><x y=\"1\"</root>", "<a><b></a></b>"));

TEST(XMLReaderTest, EveryTruncationOfAFileFails) {
  TXMLDocument doc;
  doc.Root().Name = "Settings";
  doc.Root().AddAttribute("version", "1.1");
  TXMLNode* child = doc.Root().AddChild("Motd");
  child->Text = "Hello & welcome";
  child->AddAttribute("enable", "true");
  doc.Root().AddChild("Empty");
  doc.Root().AddChild("Deep")->AddChild("Deeper")->Text = "x";
  const std::string full = doc.SaveToString();
  for (std::size_t n = 0; n < full.size(); ++n) {
    TXMLDocument cut;
    EXPECT_FALSE(cut.LoadFromString(std::string_view(full).substr(0, n))) << n;
  }
}

TEST(XMLReaderTest, NestingIsBounded) {
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
  };
  TXMLDocument doc;
  EXPECT_TRUE(doc.LoadFromString(nested(TXMLDocument::kMaxDepth)));
  EXPECT_FALSE(doc.LoadFromString(nested(TXMLDocument::kMaxDepth + 1)));
  EXPECT_FALSE(doc.LoadFromString(std::string(3'000'000, '<').replace(1, 1, "a>")));
  std::string bomb;
  for (int i = 0; i < 500'000; ++i) bomb += "<a>";
  EXPECT_FALSE(doc.LoadFromString(bomb));
}

// Random-ish trees with every byte that needs care: the writer's output
// always reads back to the same tree.
TEST(XMLReaderTest, WrittenTreesReadBack) {
  std::mt19937 random(20240229);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string special = " \t\r\n&<>\"';=/?!";
  const auto randomText = [&] {
    std::string s;
    const int length = pick(12);
    for (int i = 0; i < length; ++i) {
      s.push_back(pick(3) == 0 ? special[static_cast<std::size_t>(pick(14))]
                               : static_cast<char>(1 + pick(255)));
    }
    return s;
  };
  const char* names[] = {"Account", "Port", "caf\xE9", "x-y.z", "A_1", "\xC0\xFF"};
  const std::function<void(TXMLNode&, int)> fill = [&](TXMLNode& node, int depth) {
    const int attributes = pick(4);
    for (int i = 0; i < attributes; ++i) node.AddAttribute("at" + std::to_string(i), randomText());
    const int children = depth < 4 ? pick(5) : 0;
    if (children == 0) node.Text = randomText();
    for (int i = 0; i < children; ++i) fill(*node.AddChild(names[pick(6)]), depth + 1);
  };
  for (int round = 0; round < 50; ++round) {
    TXMLDocument doc;
    doc.Root().Name = "Root";
    fill(doc.Root(), 0);
    const std::string written = doc.SaveToString();
    TXMLDocument reread;
    ASSERT_TRUE(reread.LoadFromString(written)) << round;
    ExpectSameTree(doc.Root(), reread.Root());
    EXPECT_EQ(reread.SaveToString(), written);
  }
}

// A settings file with 10,000 accounts, and hostile shapes of the same size.
TEST(XMLReaderTest, LargeFilesLoadInLinearTime) {
  std::string accounts = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Accounts>";
  for (int i = 0; i < 10'000; ++i) {
    accounts += "\r\n  <Account Nick=\"user" + std::to_string(i) +
                "\" Profile=\"Registered\" Enabled=\"true\">\r\n"
                "    <Password>secret&amp;" + std::to_string(i) + "</Password>\r\n"
                "    <LastLogin>2024-01-02 03:04:05</LastLogin>\r\n"
                "    <Comment>" + std::string(120, 'c') + "</Comment>\r\n  </Account>";
  }
  accounts += "\r\n</Accounts>";
  ASSERT_GT(accounts.size(), 2'000'000u);

  std::string attributes = "<a";
  for (int i = 0; i < 100'000; ++i) attributes += " n" + std::to_string(i) + "=1";
  attributes += "/>";
  const std::string entities = "<a>" + [] {
    std::string s;
    for (int i = 0; i < 300'000; ++i) s += "&amp;";
    return s;
  }() + "</a>";
  const std::string unclosed = "<a>" + std::string(2'000'000, 'x');

  for (const std::string* text :
       std::initializer_list<const std::string*>{&accounts, &attributes, &entities, &unclosed}) {
    TXMLDocument doc;
    const auto start = std::chrono::steady_clock::now();
    const bool loaded = doc.LoadFromString(*text);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(loaded, text != &unclosed);
    EXPECT_LT(elapsed, std::chrono::seconds(1));
  }
  TXMLDocument doc;
  ASSERT_TRUE(doc.LoadFromString(accounts));
  ASSERT_EQ(doc.Root().GetChildCount(), 10'000);
  EXPECT_EQ(doc.Root().GetChild(9'999)->GetAttribute("nick"), "user9999");
  EXPECT_EQ(doc.Root().GetChild(5)->FindChild("Password")->Text, "secret&5");
}

}  // namespace
