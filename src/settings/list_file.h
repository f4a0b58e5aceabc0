#pragma once

#include <functional>
#include <string>
#include <string_view>

class TXMLDocument;

// What reading a list's settings file found.
enum class TListFileRead { Missing, Damaged, Read };

// The shared start of every settings list's Load. A missing file ends the
// list's loading phase (saves are allowed from the first attempt on). A
// damaged file, or one whose root element is not `rootName` (another list's
// file, a hand-made one), ends it too but blocks saving and is reported:
// what the read did not take would be lost for good at the next save. A good
// read lifts the block; the caller ends the loading phase once it has
// applied it.
TListFileRead ReadListFile(const std::string& path, std::string_view rootName,
                           std::string_view listName, TXMLDocument& document, bool& loading,
                           bool& saveBlocked,
                           const std::function<void(const std::string&)>& reportError);
