#include "settings/redirect_item.h"

TRedirectItem::TRedirectItem() { addresses_.Delimiter = "|"; }

std::string TRedirectItem::NextAddress() {
  if (addresses_.Count() == 0) return {};
  if (nextIndex_ >= addresses_.Count()) nextIndex_ = 0;
  return addresses_.Get(nextIndex_++);
}

void TRedirectItem::SetAddresses(std::string_view text) { addresses_.Split(text, '|'); }

std::string TRedirectItem::GetAddresses() const { return addresses_.Join(0, -1); }

std::string TRedirectItem::GetAddressesSemicolon() const {
  std::string out;
  for (int i = 0; i < addresses_.Count(); ++i) {
    if (i > 0) out.push_back(';');
    out += addresses_.Get(i);
  }
  return out;
}
