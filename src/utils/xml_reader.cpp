// Reading of TXMLDocument: one forward pass over the text with an explicit
// stack of open elements, so neither nesting nor file size can exhaust the
// call stack or cost more than linear time.
#include "utils/xml_document.h"

#include <exception>
#include <vector>

#include "platform/file_io.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class TXMLReader {
 public:
  explicit TXMLReader(std::string_view text) : text_(text) {}

  bool Read(TXMLNode& root) {
    if (!SkipDeclarations()) return false;
    bool selfClosed = false;
    if (!ReadStartTag(root, selfClosed)) return false;
    if (!selfClosed && !ReadContent(root)) return false;
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    return pos_ == text_.size();  // one root, nothing after it
  }

 private:
  static constexpr auto npos = std::string_view::npos;

  // Moves to the root's '<': past anything before the first element, which
  // lets hand-written files omit the "<?xml ...?>" line.
  bool SkipDeclarations() {
    pos_ = text_.find('<');
    while (pos_ != npos && text_.compare(pos_, 2, "<?") == 0) {
      const std::size_t end = text_.find("?>", pos_ + 2);
      if (end == npos) return false;
      pos_ = text_.find('<', end + 2);
    }
    return pos_ != npos;
  }

  // A start tag at pos_ ('<'): name, then attributes, then ">" or "/>".
  bool ReadStartTag(TXMLNode& node, bool& selfClosed) {
    ++pos_;
    const std::size_t nameStart = pos_;
    while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '>' &&
           text_[pos_] != '/' && text_[pos_] != '<')
      ++pos_;
    if (pos_ == nameStart) return false;
    node.Name = UnescapeXML(text_.substr(nameStart, pos_ - nameStart));
    for (;;) {
      while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
      if (pos_ >= text_.size()) return false;
      if (text_[pos_] == '>') {
        ++pos_;
        selfClosed = false;
        return true;
      }
      if (text_[pos_] == '/') {
        if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>') return false;
        pos_ += 2;
        selfClosed = true;
        return true;
      }
      if (!ReadAttribute(node)) return false;
    }
  }

  // name=value, name="value" or name='value'; a quoted value runs to its
  // closing quote, spaces included. A repeated name is ignored.
  bool ReadAttribute(TXMLNode& node) {
    const std::size_t nameStart = pos_;
    while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '=' &&
           text_[pos_] != '>' && text_[pos_] != '<' && text_[pos_] != '/')
      ++pos_;
    const std::string_view name = text_.substr(nameStart, pos_ - nameStart);
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    if (name.empty() || pos_ >= text_.size() || text_[pos_] != '=') return false;
    ++pos_;
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return false;
    std::string_view value;
    const char quote = text_[pos_];
    if (quote == '"' || quote == '\'') {
      const std::size_t end = text_.find(quote, pos_ + 1);
      if (end == npos) return false;
      value = text_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end + 1;
    } else {
      const std::size_t valueStart = pos_;
      while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '>' &&
             text_[pos_] != '<' && text_.compare(pos_, 2, "/>") != 0)
        ++pos_;
      value = text_.substr(valueStart, pos_ - valueStart);
    }
    node.AddAttribute(UnescapeXML(name), UnescapeXML(value));
    return true;
  }

  // The content of `element`, whose start tag ends at pos_, up to and
  // including its closing tag. An element with children has no text; the
  // text between children is layout and ignored.
  bool ReadContent(TXMLNode& element) {
    struct TOpen {
      TXMLNode* node;
      std::size_t contentStart;
      bool hasChildren;
    };
    std::vector<TOpen> open{{&element, pos_, false}};
    while (!open.empty()) {
      const std::size_t lt = text_.find('<', pos_);
      if (lt == npos) return false;  // closing tag missing
      TOpen& top = open.back();
      if (text_.compare(lt, 2, "</") == 0) {
        const std::size_t gt = text_.find('>', lt + 2);
        if (gt == npos) return false;
        std::size_t nameEnd = gt;
        while (nameEnd > lt + 2 && IsSpace(text_[nameEnd - 1])) --nameEnd;
        if (UnescapeXML(text_.substr(lt + 2, nameEnd - lt - 2)) != top.node->Name) return false;
        if (!top.hasChildren) {
          top.node->Text = UnescapeXML(text_.substr(top.contentStart, lt - top.contentStart));
        }
        pos_ = gt + 1;
        open.pop_back();
        continue;
      }
      pos_ = lt;
      top.hasChildren = true;
      TXMLNode* child = top.node->AddChild({});
      bool selfClosed = false;
      if (!ReadStartTag(*child, selfClosed)) return false;
      if (selfClosed) continue;
      if (open.size() >= static_cast<std::size_t>(TXMLDocument::kMaxDepth)) return false;
      open.push_back({child, pos_, false});
    }
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

bool TXMLDocument::LoadFromString(std::string_view text) {
  try {
    Reset();
    if (TXMLReader(text).Read(*root_)) return true;
  } catch (const std::exception&) {
    // Out of memory on a huge file: a failed load like any other.
  }
  Reset();
  return false;
}

bool TXMLDocument::LoadFromFile(const std::string& path) {
  try {
    std::string bytes;
    if (ReadFileBytes(path, bytes)) return LoadFromString(bytes);
  } catch (const std::exception&) {
  }
  Reset();
  return false;
}
