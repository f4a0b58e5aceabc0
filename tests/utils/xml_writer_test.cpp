#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "base/exceptions.h"
#include "utils/xml_document.h"

namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";

struct WriteCase {
  const char* what;
  std::function<void(TXMLNode&)> build;
  std::string expected;  // after the declaration line
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.what; }

class XMLWriterTest : public testing::TestWithParam<WriteCase> {};

TEST_P(XMLWriterTest, WritesExactBytesAndReadsThemBack) {
  const WriteCase& c = GetParam();
  TXMLDocument doc;
  c.build(doc.Root());
  const std::string written = doc.SaveToString();
  EXPECT_EQ(written, kHead + c.expected);

  TXMLDocument reread;
  ASSERT_TRUE(reread.LoadFromString(written));
  EXPECT_EQ(reread.SaveToString(), written);
}

INSTANTIATE_TEST_SUITE_P(
    Golden, XMLWriterTest,
    testing::Values(
        WriteCase{"child text escaped, root on three lines",
                  [](TXMLNode& root) {
                    root.Name = "Settings";
                    root.AddChild("Child")->Text = "a<b";
                  },
                  "<Settings>\r\n  <Child>a&lt;b</Child>\r\n</Settings>"},
        WriteCase{"empty element self-closes",
                  [](TXMLNode& root) { root.Name = "Empty"; }, "<Empty/>"},
        WriteCase{"attribute-only element self-closes with its attribute",
                  [](TXMLNode& root) {
                    root.Name = "Root";
                    root.AddChild("Item")->AddAttribute("enable", "true");
                  },
                  "<Root>\r\n  <Item enable=\"true\"/>\r\n</Root>"},
        WriteCase{"CR LF in a text",
                  [](TXMLNode& root) {
                    root.Name = "Root";
                    root.AddChild("Motd")->Text = "line1\r\nline2";
                  },
                  "<Root>\r\n  <Motd>line1&#13;&#10;line2</Motd>\r\n</Root>"},
        WriteCase{"all seven escapes in values and texts",
                  [](TXMLNode& root) {
                    root.Name = "R";
                    root.AddAttribute("v", "&\n\r\"'<>");
                    root.AddChild("T")->Text = "x&amp;y";
                  },
                  "<R v=\"&amp;&#10;&#13;&quot;&apos;&lt;&gt;\">\r\n"
                  "  <T>x&amp;amp;y</T>\r\n</R>"},
        WriteCase{"nesting indents two spaces per level, attributes in order",
                  [](TXMLNode& root) {
                    root.Name = "Accounts";
                    root.AddAttribute("version", "1.1");
                    TXMLNode* account = root.AddChild("Account");
                    account->AddAttribute("nick", "Bob");
                    account->AddAttribute("level", "3");
                    account->AddChild("Password")->Text = "p w";
                    account->AddChild("Flags");
                    root.AddChild("Account");
                  },
                  "<Accounts version=\"1.1\">\r\n"
                  "  <Account nick=\"Bob\" level=\"3\">\r\n"
                  "    <Password>p w</Password>\r\n"
                  "    <Flags/>\r\n"
                  "  </Account>\r\n"
                  "  <Account/>\r\n"
                  "</Accounts>"}));

TEST(XMLNodeTest, FindChildTakesTheLastExactMatch) {
  TXMLNode node("Hub");
  node.AddChild("Port")->Text = "411";
  node.AddChild("Other");
  node.AddChild("Port")->Text = "1411";
  ASSERT_NE(node.FindChild("Port"), nullptr);
  EXPECT_EQ(node.FindChild("Port")->Text, "1411");
  EXPECT_EQ(node.FindChild("port"), nullptr);
  EXPECT_EQ(node.FindChild("Por"), nullptr);
  EXPECT_EQ(node.GetChildCount(), 3);
  EXPECT_EQ(node.GetChild(0)->Text, "411");
  EXPECT_EQ(node.GetChild(3), nullptr);
  EXPECT_EQ(node.GetChild(-1), nullptr);
}

// Past a handful of attributes lookups go through an index; both paths must
// keep the first value and compare names case-insensitively (8-bit too).
TEST(XMLNodeTest, AddAttributeNeverOverwrites) {
  for (const int before : {0, 7, 30}) {
    TXMLNode node;
    for (int i = 0; i < before; ++i) {
      ASSERT_TRUE(node.AddAttribute("a" + std::to_string(i), std::to_string(i)));
    }
    EXPECT_TRUE(node.AddAttribute("Version", "2"));
    EXPECT_FALSE(node.AddAttribute("version", "1"));
    EXPECT_TRUE(node.AddAttribute("caf\xE9", "x"));
    EXPECT_FALSE(node.AddAttribute("CAF\xC9", "y"));
    EXPECT_EQ(node.GetAttribute("VERSION"), "2");
    EXPECT_EQ(node.GetAttribute("Caf\xC9"), "x");
    EXPECT_EQ(node.GetAttribute("missing", "fallback"), "fallback");
    EXPECT_EQ(node.FindAttribute("missing"), nullptr);
    if (before > 0) {
      EXPECT_EQ(node.GetAttribute("A0"), "0");
    }
    EXPECT_EQ(node.GetAttributeCount(), before + 2);
    EXPECT_EQ(node.GetAttributeAt(before).Name, "Version");
  }
}

TEST(XMLNodeTest, ClearDropsChildrenAndAttributesOnly) {
  TXMLNode node("Keep");
  node.Text = "t";
  for (int i = 0; i < 10; ++i) node.AddAttribute("n" + std::to_string(i), "v");
  node.AddChild("C")->AddChild("D");
  node.Clear();
  EXPECT_EQ(node.GetChildCount(), 0);
  EXPECT_EQ(node.GetAttributeCount(), 0);
  EXPECT_EQ(node.FindAttribute("n1"), nullptr);
  EXPECT_TRUE(node.AddAttribute("n1", "again"));
  EXPECT_EQ(node.Name, "Keep");
  EXPECT_EQ(node.Text, "t");
}

TEST(XMLNodeTest, AttributeIndexOutOfRangeIsAnError) {
  TXMLNode node;
  node.AddAttribute("a", "1");
  EXPECT_THROW(node.GetAttributeAt(1), EKavroException);
  EXPECT_THROW(node.GetAttributeAt(-1), EKavroException);
}

}  // namespace
