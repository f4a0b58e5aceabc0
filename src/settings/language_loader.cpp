#include "settings/language_loader.h"

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_io.h"
#include "settings/language.h"
#include "base/exceptions.h"
#include "utils/program_folder.h"
#include "utils/xml_document.h"

namespace {

constexpr std::string_view kRootElement = "Language";

// Overwrites the texts of `keys` found as children of `parent`; an absent
// key leaves its text, whatever language it came from.
void ReadKeys(const TXMLNode& parent, std::span<const TLanguageKeyInfo> keys,
              TLanguage& texts) {
  for (const TLanguageKeyInfo& info : keys) {
    if (const TXMLNode* element = parent.FindChild(info.Name)) {
      texts.SetText(info.Key, element->Text);
    }
  }
}

void WriteKeys(TXMLNode& parent, std::span<const TLanguageKeyInfo> keys,
               const TLanguage& texts) {
  for (const TLanguageKeyInfo& info : keys) {
    parent.AddChild(std::string(info.Name))->Text = texts.Text(info.Key);
  }
}

}  // namespace

std::string LanguageFilePath(const std::string& fileName) {
  if (fileName.empty() || fileName == "." || fileName == ".." ||
      fileName.find('/') != std::string::npos || fileName.find('\0') != std::string::npos) {
    throw EKavroException("TLanguageLoader", "invalid file name \"" + fileName + "\"");
  }
  return ProgramPath(kLanguageFolder, fileName);
}

TLanguageLoader::TLanguageLoader(TLanguage& language) : language_(language) {}

bool TLanguageLoader::Load(const std::string& fileName) {
  const std::string path = LanguageFilePath(fileName);
  if (!FileExists(path)) return false;
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) {
    throw EKavroException("TLanguageLoader.Load", "cannot read " + fileName);
  }
  TXMLDocument document;
  if (!document.LoadFromString(bytes)) {
    throw EKavroException("TLanguageLoader.Load", "malformed XML in " + fileName);
  }
  const TXMLNode& root = document.Root();
  if (root.Name != kRootElement) return true;

  TLanguage scratch = language_;
  ReadKeys(root, LanguageRootKeys(), scratch);
  for (const TLanguageSection section : kLanguageSectionsFileOrder) {
    if (const TXMLNode* element = root.FindChild(LanguageSectionName(section))) {
      ReadKeys(*element, LanguageSectionKeys(section), scratch);
    }
  }
  std::string lang = root.GetAttribute("lang", "en");
  std::string name = root.GetAttribute("name", "English");
  language_ = std::move(scratch);
  lang_ = std::move(lang);
  name_ = std::move(name);
  return true;
}

bool TLanguageLoader::Save(const std::string& fileName) {
  const std::string path = LanguageFilePath(fileName);
  if (!FileExists(path)) {
    lang_ = "en";
    name_ = "English";
  }
  TXMLDocument document;
  TXMLNode& root = document.Root();
  root.Name = kRootElement;
  root.AddAttribute("lang", lang_);
  root.AddAttribute("name", name_);
  WriteKeys(root, LanguageRootKeys(), language_);
  for (const TLanguageSection section : kLanguageSectionsFileOrder) {
    TXMLNode* element = root.AddChild(std::string(LanguageSectionName(section)));
    WriteKeys(*element, LanguageSectionKeys(section), language_);
  }
  // SaveToFile creates the folder and replaces the file in one rename, so a
  // failed write leaves the old file whole.
  if (!document.SaveToFile(path)) {
    throw EKavroException("TLanguageLoader.Save", "cannot write " + fileName);
  }
  return true;
}
