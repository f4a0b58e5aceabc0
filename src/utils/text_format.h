#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// One argument of FormatText: a text or a 64-bit integer. Holds a view, so
// it must not outlive the value it was made from (FormatText's own call is
// fine). char and bool are refused: a char would print as a number.
class TFormatArg {
 public:
  enum class TKind { Text, Signed, Unsigned };

  TFormatArg(std::string_view text) : kind_(TKind::Text), text_(text) {}
  TFormatArg(const std::string& text) : kind_(TKind::Text), text_(text) {}
  // A null pointer prints as an empty text rather than crashing.
  TFormatArg(const char* text) : kind_(TKind::Text), text_(text ? std::string_view(text) : std::string_view()) {}

  template <std::signed_integral I>
    requires(!std::same_as<I, char> && !std::same_as<I, signed char>)
  TFormatArg(I value) : kind_(TKind::Signed), signed_(value) {}

  template <std::unsigned_integral I>
    requires(!std::same_as<I, bool> && !std::same_as<I, char> && !std::same_as<I, unsigned char>)
  TFormatArg(I value) : kind_(TKind::Unsigned), unsigned_(value) {}

  // Appends the argument as it prints for "%s" and "%d" alike.
  void AppendTo(std::string& out) const;
  std::size_t SizeHint() const;

 private:
  TKind kind_;
  std::string_view text_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
};

// Fills a text that operators may edit (language texts) with arguments.
// "%s" and "%d" each take the next argument, printed as it is whatever its
// kind; "%%" is "%". A placeholder with no argument left stays as written,
// surplus arguments are ignored, and every other "%" (a flag, a width, "%x",
// "%n", a trailing "%") is copied literally. The text is never handed to
// printf or std::format, so no edit can make it read memory or crash.
std::string FormatTextArgs(std::string_view format, std::span<const TFormatArg> args);

template <typename... Args>
std::string FormatText(std::string_view format, const Args&... args) {
  const std::array<TFormatArg, sizeof...(Args)> packed{TFormatArg(args)...};
  return FormatTextArgs(format, packed);
}
