#pragma once
// RemoveList.txt: the names of the game files an installation added, one bare name per line,
// each line ended by CR LF, newest first. Restoration derives each name's folder from its
// extension.
#include <string>
#include <vector>

// The names of a list as the original program read it: at most 259 characters at a time (a longer
// line counts as several), each piece cut at its first CR or LF, pieces of three characters or
// fewer ignored.
std::vector<std::string> ParseRemoveList(const std::string& content);

std::string FormatRemoveList(const std::vector<std::string>& names);
