// How record files are named: pure rules on the held title, which comes from
// the network and so may hold anything.
#pragma once

#include <optional>
#include <string>

// The scratch file of untitled parts, emptied at each use.
inline constexpr char kScratchRecordName[] = "r.tmp";

// The longest record file name, in bytes, "NN-" and ".mp3" included.
constexpr size_t kRecordNameMax = 99;

// The stem a title names its file after: the text before its last '-', with
// trailing blanks removed ("A-ha - Take On Me" -> "A-ha"). nullopt when no
// title is held or it has no '-': such parts go to the scratch file.
std::optional<std::string> recordStem(const char* title);

// "NN-stem.mp3" (the number at least two digits), with every character that
// cannot stand in a file name on common file systems replaced by '_', and the
// stem shortened so the whole name keeps within kRecordNameMax.
std::string numberedRecordName(int number, const std::string& stem);

// Replaces '/', '\', control characters and : * ? " < > | with '_'.
void makeFileNameSafe(std::string& text);
