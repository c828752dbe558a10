// How record files are named: pure rules on the held title, which comes from
// the network and so may hold anything. A file name on Linux is UTF-8 text,
// so every name made here is valid UTF-8, whatever the title's bytes.
#pragma once

#include <optional>
#include <string>

// The scratch file of a piece that is named only once it is closed.
inline constexpr char kScratchRecordName[] = "r.tmp";

// The longest record file name, "NN-" and ".mp3" included: 99 characters, as
// the design's 100-character name buffer held one byte a character, and at
// most 255 bytes, the file system's limit on one name.
constexpr size_t kRecordNameMaxChars = 99;
constexpr size_t kRecordNameMaxBytes = 255;

// The stem a title names its file after: the text before its last '-', with
// trailing blanks removed ("A-ha - Take On Me" -> "A-ha"). nullopt when no
// title is held or it has no '-': such parts go to the scratch file.
std::optional<std::string> recordStem(const char* title);

// "NN-stem.<extension>", by default ".mp3" (the number at least two digits) in UTF-8: a stem that is
// valid UTF-8 as it is, any other read as Windows-1251, as the window shows
// it; every character that cannot stand in a file name replaced by '_'; the
// stem cut at a whole character so the name keeps within both limits above.
std::string numberedRecordName(int number, const std::string& stem, const std::string& extension = "mp3");

// The stem as UTF-8 text, by the rule above, not yet made safe or cut.
std::string recordNameText(const std::string& stem);

// In UTF-8 text, replaces '/', '\', : * ? " < > |, the control characters
// and DEL with '_'; a C1 control (U+0080..U+009F) becomes one '_' too.
void makeFileNameSafe(std::string& text);

// Cuts UTF-8 text to at most maxChars characters and maxBytes bytes, never
// inside a character.
void cutUtf8(std::string& text, size_t maxChars, size_t maxBytes);
