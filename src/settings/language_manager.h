#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "settings/language_loader.h"

class TLanguage;

// One language file found in the language folder.
struct TLangItem {
  std::string Name;      // display name: the file's "name" attribute
  std::string FileName;  // inside the language folder
  std::string Lang;      // the file's "lang" attribute, possibly empty

  bool operator==(const TLangItem&) const = default;
};

// Knows which language files exist, which one is current, and writes the
// current texts back to it at exit so that the file gains the keys it
// lacked. Owns the list of files and the loader; the texts belong to the
// TLanguage it was given.
class TLanguageManager {
 public:
  // Creates the language folder when missing; nothing is listed or current.
  explicit TLanguageManager(TLanguage& language);
  TLanguageManager(const TLanguageManager&) = delete;
  TLanguageManager& operator=(const TLanguageManager&) = delete;
  // Does the exit write unless WriteBack already ran; its errors are
  // dropped here, as a destructor must not throw.
  ~TLanguageManager();

  int GetCount() const { return static_cast<int>(items_.size()); }
  // The i-th listed language, in order of display name (case-insensitive).
  const std::string& GetLanguageName(int index) const;
  const TLangItem& GetItem(int index) const;

  const std::string& CurrentFile() const { return currentFile_; }
  const std::string& CurrentName() const { return currentName_; }
  const TLanguageLoader& Loader() const { return loader_; }

  // Rebuilds the list from the language folder's *.xml files, taken in
  // bytewise order of file name; a display name already listed keeps its
  // first file. An empty folder gets english.xml (written only when it does
  // not exist). A current language is loaded again from its file.
  void Rescan();

  // Loads the language listed under `name` and makes it current. False when
  // it is not listed, or when its file is unreadable or malformed (the
  // texts and the current language then stay). True when the file has
  // vanished since the scan: it becomes current with the texts unchanged.
  bool SelectLanguage(std::string_view name);

  // Writes the texts to the current file. False when none is current or
  // its latest load failed (the operator's broken file is kept for repair).
  // Throws EKavroException when the file cannot be written.
  bool SaveLanguage();

  // The exit write: the texts go to the current file, or to english.xml
  // when none is current and it does not exist yet. Skipped for a file
  // whose latest load failed. Throws EKavroException when the file cannot
  // be written; runs once.
  void WriteBack();

 private:
  static int CompareNames(std::string_view a, std::string_view b);
  // The index of `name` in items_, or where it would be inserted.
  std::size_t LowerBound(std::string_view name) const;
  const TLangItem* Find(std::string_view name) const;
  bool AddItem(TLangItem item);
  // Loads `fileName`, keeping track of files whose load failed; false on
  // such a failure.
  bool TryLoad(const std::string& fileName);
  void MakeCurrent(const TLangItem& item);

  TLanguageLoader loader_;
  std::vector<TLangItem> items_;  // sorted by CompareNames, names unique
  std::string currentFile_;
  std::string currentName_;
  std::set<std::string> failedFiles_;
  bool wroteBack_ = false;
};
