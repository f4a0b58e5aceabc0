// Loading and saving settings/settings.xml.
#include <algorithm>
#include <string>

#include "platform/file_io.h"
#include "settings/redirect_xml.h"
#include "settings/settings.h"
#include "settings/settings_hooks.h"
#include "settings/settings_visitor.h"
#include "utils/constants.h"
#include "base/exceptions.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"

namespace {

constexpr std::string_view kFileName = "settings.xml";
constexpr std::string_view kRootName = "Settings";
constexpr std::string_view kVersion = "version";

std::string SettingsPath() { return ProgramPath(kSettingsFolder, kFileName); }

// Appends every value under the current node.
class TSettingsWriter : public TSettingsVisitor {
 public:
  explicit TSettingsWriter(TXMLNode& root) : node_(&root) {}

  bool Reading() const override { return false; }

  void Group(std::string_view name, const std::function<void()>& body) override {
    TXMLNode* parent = node_;
    node_ = parent->AddChild(std::string(name));
    body();
    node_ = parent;
  }

  bool Text(std::string_view name, std::string& value) override {
    WriteXMLString(*node_, name, value);
    return false;
  }
  bool Integer(std::string_view name, int& value) override {
    WriteXMLInteger(*node_, name, value);
    return false;
  }
  bool Range(std::string_view name, int& value, int /*min*/, int /*max*/) override {
    WriteXMLEnum(*node_, name, value);
    return false;
  }
  bool Int64(std::string_view name, std::int64_t& value) override {
    WriteXMLInt64(*node_, name, value);
    return false;
  }
  bool Flag(std::string_view name, bool& value) override {
    WriteXMLBoolean(*node_, name, value);
    return false;
  }
  bool TriState(std::string_view name, TTriState& value) override {
    WriteXMLTriState(*node_, name, value);
    return false;
  }
  bool EnabledInt(std::string_view name, TEnabledInt& value) override {
    WriteXMLIntegerEnabled(*node_, name, value.Value, value.Enabled);
    return false;
  }
  bool EnabledInt64(std::string_view name, TEnabledInt64& value) override {
    WriteXMLInt64Enabled(*node_, name, value.Value, value.Enabled);
    return false;
  }
  bool EnabledText(std::string_view name, TEnabledText& value) override {
    WriteXMLStringEnabled(*node_, name, value.Value, value.Enabled);
    return false;
  }
  bool Int64TriState(std::string_view name, TInt64TriState& value) override {
    WriteXMLInt64TriState(*node_, name, value.Value, value.State);
    return false;
  }
  bool CountPerHours(std::string_view name, TCountPerHours& value) override {
    WriteXMLCountPerHours(*node_, name, value.Enabled, value.Count, value.Hours);
    return false;
  }
  bool CountPerInterval(std::string_view name, TCountPerInterval& value) override {
    WriteXMLCountPerInterval(*node_, name, value.State, value.Count, value.Interval);
    return false;
  }
  bool Redirect(std::string_view name, TRedirectItem& item) override {
    WriteXMLRedirectItem(*node_, name, item);
    return false;
  }
  void Restriction(TConnRestriction& restriction) override { restriction.SaveToXML(*node_); }

 private:
  TXMLNode* node_;
};

// Takes every value whose element is present under the current node.
class TSettingsReader : public TSettingsVisitor {
 public:
  explicit TSettingsReader(const TXMLNode& root) : node_(&root) {}

  bool Reading() const override { return true; }

  void Group(std::string_view name, const std::function<void()>& body) override {
    const TXMLNode* group = node_->FindChild(name);
    if (group == nullptr) return;
    const TXMLNode* parent = node_;
    node_ = group;
    body();
    node_ = parent;
  }

  bool Text(std::string_view name, std::string& value) override {
    ReadXMLString(*node_, name, value);
    return Present(name);
  }
  bool Integer(std::string_view name, int& value) override {
    ReadXMLInteger(*node_, name, value);
    return Present(name);
  }
  bool Range(std::string_view name, int& value, int min, int max) override {
    ReadXMLEnum(*node_, name, value, min, max);
    return Present(name);
  }
  bool Int64(std::string_view name, std::int64_t& value) override {
    ReadXMLInt64(*node_, name, value);
    return Present(name);
  }
  bool Flag(std::string_view name, bool& value) override {
    ReadXMLBoolean(*node_, name, value);
    return Present(name);
  }
  bool TriState(std::string_view name, TTriState& value) override {
    ReadXMLTriState(*node_, name, value);
    return Present(name);
  }
  bool EnabledInt(std::string_view name, TEnabledInt& value) override {
    ReadXMLIntegerEnabled(*node_, name, value.Value, value.Enabled);
    return Present(name);
  }
  bool EnabledInt64(std::string_view name, TEnabledInt64& value) override {
    ReadXMLInt64Enabled(*node_, name, value.Value, value.Enabled);
    return Present(name);
  }
  bool EnabledText(std::string_view name, TEnabledText& value) override {
    ReadXMLStringEnabled(*node_, name, value.Value, value.Enabled);
    return Present(name);
  }
  bool Int64TriState(std::string_view name, TInt64TriState& value) override {
    ReadXMLInt64TriState(*node_, name, value.Value, value.State);
    return Present(name);
  }
  bool CountPerHours(std::string_view name, TCountPerHours& value) override {
    ReadXMLCountPerHours(*node_, name, value.Enabled, value.Count, value.Hours);
    return Present(name);
  }
  bool CountPerInterval(std::string_view name, TCountPerInterval& value) override {
    ReadXMLCountPerInterval(*node_, name, value.State, value.Count, value.Interval);
    return Present(name);
  }
  bool Redirect(std::string_view name, TRedirectItem& item) override {
    ReadXMLRedirectItem(*node_, name, item);
    return Present(name);
  }
  void Restriction(TConnRestriction& restriction) override { restriction.LoadFromXML(*node_); }

 private:
  bool Present(std::string_view name) const { return node_->FindChild(name) != nullptr; }

  const TXMLNode* node_;
};

}  // namespace

bool TSettings::Load() {
  const std::string path = SettingsPath();
  if (!FileExists(path)) return false;

  // The whole file is parsed before anything is applied, so a damaged file
  // leaves every current value as it was. A file of another root is no
  // settings file to take values from, nor to write defaults over.
  TXMLDocument document;
  if (!document.LoadFromFile(path) || document.Root().Name != kRootName) {
    saveBlocked_ = true;
    throw EKavroException("TSettings.Load",
                          "Cannot read " + path + "; nothing loaded, automatic saving stopped");
  }
  saveBlocked_ = false;

  const TXMLNode& root = document.Root();
  settingsVersion_ = root.GetAttribute(kVersion);
  TSettingsReader reader(root);
  VisitKeys(reader);
  // A file from an older version may not have been meant to start the hub
  // unattended.
  if (VersionBelow(settingsVersion_, kProgramVersion)) AutoStart = false;
  Hooks().SettingsLoaded();
  return true;
}

bool TSettings::Save(TSaveMode mode) {
  if (saveBlocked_ && mode == TSaveMode::Automatic) return false;

  // Peaks only ever grow: the counters start from zero with every run.
  TSettingsPeaks peaks{UsersPeak, SharePeak, UptimePeak};
  Hooks().CollectPeaks(peaks);
  UsersPeak = std::max(UsersPeak, peaks.Users);
  SharePeak = std::max(SharePeak, peaks.Share);
  UptimePeak = std::max(UptimePeak, peaks.Uptime);

  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = kRootName;
  root.AddAttribute(std::string(kVersion), std::string(kProgramVersion));
  TSettingsWriter writer(root);
  VisitKeys(writer);
  if (!WriteFileAtomicPrivate(SettingsPath(), document.SaveToString())) return false;
  // What is on disk now is this run's own, sound file.
  saveBlocked_ = false;
  return true;
}
