#pragma once

#include <string_view>

#include "core/page_refresh.h"

class TBanListGui;
class TISPListGui;
class TKavroRoot;

// The controllers of the ban-list and ISP pages, and what the ISP commands
// tell the ISP page. Built by the window's composition and gone before the
// window; the pages themselves are owned by the window.
class TBanIspPages final : public TPageRefresh {
 public:
  TBanIspPages(TKavroRoot& root, TBanListGui* banList, TISPListGui* ispList);
  ~TBanIspPages() override;
  TBanIspPages(const TBanIspPages&) = delete;
  TBanIspPages& operator=(const TBanIspPages&) = delete;

  TBanListGui& BanList() { return *banList_; }
  TISPListGui& ISPList() { return *ispList_; }

  void ISPRangeAdded(std::string_view isp, std::string_view range) override;
  void ISPRangeRemoved(std::string_view isp, std::string_view range) override;

 private:
  TKavroRoot& root_;
  TBanListGui* banList_;
  TISPListGui* ispList_;
};
