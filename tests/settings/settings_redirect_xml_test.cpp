#include <gtest/gtest.h>

#include <string>

#include "settings/redirect_item.h"
#include "settings/redirect_xml.h"
#include "utils/xml_document.h"

namespace {

TEST(RedirectXML, WritesAddressesAndSwitch) {
  struct Case {
    const char* addresses;
    bool enabled;
    const char* element;
  } cases[] = {
      {"a.example.org|b.example.org:4111", true,
       "<R enable=\"true\">a.example.org|b.example.org:4111</R>"},
      {"", false, "<R enable=\"false\"/>"},
      {"x&y<z", true, "<R enable=\"true\">x&amp;y&lt;z</R>"},
  };
  for (const Case& c : cases) {
    TRedirectItem item;
    item.SetAddresses(c.addresses);
    item.Enabled = c.enabled;
    TXMLDocument document;
    document.Root().Name = "Redirects";
    WriteXMLRedirectItem(document.Root(), "R", item);
    EXPECT_EQ(document.SaveToString(),
              std::string("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Redirects>\r\n  ") +
                  c.element + "\r\n</Redirects>");
  }
}

TEST(RedirectXML, ReadsTheLastElementAndKeepsWhatIsMissing) {
  struct Case {
    const char* children;
    const char* addresses;
    bool enabled;
  } cases[] = {
      {"", "old", true},  // no element: untouched
      {"<R enable=\"false\">a|b</R>", "a|b", false},
      {"<R>x||y|</R>", "x|y", true},  // no "enable": the switch stays
      {"<R enable=\"maybe\"/>", "", true},
      {"<R enable=\"false\">1</R><R enable=\"true\">2</R>", "2", true},
  };
  for (const Case& c : cases) {
    TRedirectItem item;
    item.SetAddresses("old");
    item.Enabled = true;
    TXMLDocument document;
    ASSERT_TRUE(document.LoadFromString(std::string("<Redirects>") + c.children + "</Redirects>"));
    ReadXMLRedirectItem(document.Root(), "R", item);
    EXPECT_EQ(item.GetAddresses(), c.addresses) << c.children;
    EXPECT_EQ(item.Enabled, c.enabled) << c.children;
  }
}

}  // namespace
