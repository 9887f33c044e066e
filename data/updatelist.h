// The suite's two data files, as text rules: the build date line and the
// entries of the update list. Pure code: no Windows header.
#pragma once

#include <string>
#include <string_view>

#include "classes.h"

// Longest build date shown.
constexpr size_t kBuildDateMaxLength = 100;

// The build date from the lines of the build date file: line 0 after its
// first '#', or the whole line when it holds none, cut to 100 characters.
// Raises EStringListError ("List index out of bounds (0)") when there are no
// lines.
std::string ExtractBuildDate(const TStrings& lines);

struct TUpdateEntry {
  std::string Type;
  std::string Date;
  std::string Description;
};

// Splits one line of the update list into its three fields at its first two
// '#'s; the description keeps any further '#'.
TUpdateEntry SplitUpdateEntry(std::string_view line);

// The first line of an update list as fetched from the server: the text
// before its first CR LF; empty when there is none.
std::string UpdateListIdentifier(std::string_view text);
