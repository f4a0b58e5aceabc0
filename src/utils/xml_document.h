#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One attribute of an element.
struct TXMLAttribute {
  std::string Name;
  std::string Value;
};

// An element of a settings file: a name, a text, attributes in the order
// they were added (names case-insensitive, never overwritten) and child
// elements in order. Owns its children and attributes.
class TXMLNode {
 public:
  explicit TXMLNode(std::string name = {});
  TXMLNode(const TXMLNode&) = delete;
  TXMLNode& operator=(const TXMLNode&) = delete;
  ~TXMLNode();

  std::string Name;
  std::string Text;

  // Appends a new, empty child and returns it (owned by this node).
  TXMLNode* AddChild(std::string name);

  // The LAST child whose name equals `name` exactly (case-sensitive), or
  // nullptr: when an element occurs twice, the later one counts.
  TXMLNode* FindChild(std::string_view name);
  const TXMLNode* FindChild(std::string_view name) const;

  TXMLNode* GetChild(int index);  // nullptr when out of range
  const TXMLNode* GetChild(int index) const;
  int GetChildCount() const { return static_cast<int>(children_.size()); }

  // False, and no change, when an attribute of that name (compared
  // case-insensitively) exists already.
  bool AddAttribute(std::string name, std::string value);
  // The value, or `fallback` when there is no such attribute.
  std::string GetAttribute(std::string_view name, std::string_view fallback = {}) const;
  // The attribute, or nullptr; tells an absent attribute from an empty one.
  const TXMLAttribute* FindAttribute(std::string_view name) const;
  const TXMLAttribute& GetAttributeAt(int index) const;  // 0 <= index < count
  int GetAttributeCount() const { return static_cast<int>(attributes_.size()); }

  // Frees all children (recursively) and attributes; name and text stay.
  void Clear();

 private:
  std::vector<std::unique_ptr<TXMLNode>> children_;
  std::vector<TXMLAttribute> attributes_;
  // Upper-cased name -> position in attributes_, built only for elements
  // with many attributes, so that hostile input with thousands of them in
  // one tag costs linear time.
  std::unordered_map<std::string, std::size_t> attributeIndex_;
};

// A settings file: one root element. Reads and writes the program's own
// small XML dialect (ISO-8859-1 declaration, two-space indentation, seven
// character escapes); no comments, CDATA, DOCTYPE or namespaces.
class TXMLDocument {
 public:
  TXMLDocument();

  TXMLNode& Root() { return *root_; }
  const TXMLNode& Root() const { return *root_; }

  // Replace the whole tree. False when the file is missing or unreadable or
  // the text is malformed (unterminated tags, missing closing tags, nesting
  // deeper than kMaxDepth, no element at all); the tree is then empty.
  // Never throw.
  bool LoadFromFile(const std::string& path);
  bool LoadFromString(std::string_view text);

  // Write the declaration and the tree. SaveToFile replaces the file
  // atomically and creates a missing folder; false on any failure. Never
  // throw.
  bool SaveToFile(const std::string& path) const;
  std::string SaveToString() const;

  static constexpr int kMaxDepth = 256;

 private:
  void Reset();

  std::unique_ptr<TXMLNode> root_;
};

// The escaping of names, values and texts in both directions.
std::string EscapeXML(std::string_view text);
std::string UnescapeXML(std::string_view text);
