#pragma once

#include <string>

class TLanguage;

// Reads a language file of the language folder into the texts, and writes
// the texts back in the same format so that a file always ends up holding
// every key. Owns only the two root attributes of the file last loaded; the
// texts belong to the TLanguage it was given.
class TLanguageLoader {
 public:
  explicit TLanguageLoader(TLanguage& language);

  // The root attributes of the file last loaded or newly created; empty
  // until then.
  const std::string& Name() const { return name_; }
  const std::string& Lang() const { return lang_; }

  // Reads language/<fileName>. False, and no change, when the file does not
  // exist. A file that exists but cannot be read or is not well-formed
  // throws EKavroException and changes nothing either: the texts are read
  // into a copy that replaces the current ones only once the whole file has
  // been taken in. A root element other than "Language" changes nothing and
  // still gives true.
  bool Load(const std::string& fileName);

  // Writes every text to language/<fileName>, replacing the file and
  // creating the folder; a file that did not exist yet is labelled "en" /
  // "English". True; throws EKavroException when the file cannot be
  // written.
  bool Save(const std::string& fileName);

 private:
  TLanguage& language_;
  std::string name_;
  std::string lang_;
};

// The path of a file in the language folder. Throws EKavroException for a
// name that is empty or would leave the folder.
std::string LanguageFilePath(const std::string& fileName);
