#include "base/exceptions.h"

namespace {

std::string ComposeMessage(std::string_view where, std::string_view detail) {
  std::string message;
  message.reserve(where.size() + detail.size() + 2);
  message.append(where);
  message.push_back('(');
  message.append(detail);
  message.push_back(')');
  return message;
}

std::string_view BaseName(std::string_view path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

EKavroException::EKavroException(std::string_view where, std::string_view detail)
    : std::runtime_error(ComposeMessage(where, detail)) {}

EKavroException::EKavroException(const std::string& message) : std::runtime_error(message) {}

EAssertionFailed::EAssertionFailed(std::string_view file, int line, std::string_view what)
    : EKavroException(ComposeMessage(BaseName(file),
                                     std::string(what) + " at line " + std::to_string(line))) {}
