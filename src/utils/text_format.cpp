#include "utils/text_format.h"

#include <charconv>

void TFormatArg::AppendTo(std::string& out) const {
  if (kind_ == TKind::Text) {
    out.append(text_);
    return;
  }
  char digits[24];
  const auto result = kind_ == TKind::Signed
                          ? std::to_chars(digits, digits + sizeof digits, signed_)
                          : std::to_chars(digits, digits + sizeof digits, unsigned_);
  out.append(digits, result.ptr);
}

std::size_t TFormatArg::SizeHint() const { return kind_ == TKind::Text ? text_.size() : 20; }

std::string FormatTextArgs(std::string_view format, std::span<const TFormatArg> args) {
  std::size_t hint = format.size();
  for (const auto& arg : args) hint += arg.SizeHint();
  std::string out;
  out.reserve(hint);

  std::size_t next = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    const std::size_t percent = format.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(format.substr(i));
      break;
    }
    out.append(format.substr(i, percent - i));
    const char conversion = percent + 1 < format.size() ? format[percent + 1] : '\0';
    if (conversion == '%') {
      out.push_back('%');
      i = percent + 2;
    } else if ((conversion == 's' || conversion == 'd') && next < args.size()) {
      args[next++].AppendTo(out);
      i = percent + 2;
    } else if (conversion == 's' || conversion == 'd') {
      out.append(format.substr(percent, 2));
      i = percent + 2;
    } else {
      // Not a placeholder: the "%" is text, and what follows is read anew.
      out.push_back('%');
      i = percent + 1;
    }
  }
  return out;
}
