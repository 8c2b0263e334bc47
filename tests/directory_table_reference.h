// A plain rendering of the directory scan for the differential test: every walk is made, again from
// every entry and on after the table is full, exactly as the table's rules describe it, with nothing
// spared. The tool's scan must come to the same table with far fewer enumerations.
#pragma once

#include <set>
#include <string>
#include <vector>

struct ReferenceScan {
  std::vector<std::string> table;                 // the entries in the order they were recorded
  std::set<std::string> enumerated;               // every directory enumerated, by lowercased text
  std::set<std::string> enumeratedWithRoom;       // those enumerated while the table had room
  long enumerations = 0;                          // enumerations made, repeats included
};

// Records listDirs in order, then walks below every entry, all relative to g_programDirectory, through
// the platform's enumeration.
ReferenceScan RunReferenceScan(const std::vector<std::string>& listDirs);

// text with its ASCII letters lowercased.
std::string FoldAscii(const std::string& text);
