// Simple CSV lines of code page 932 bytes: fields split at ',', optionally in double quotes.
#pragma once

#include <string>
#include <vector>

// A field that starts with '"' runs to the next lone '"', with "" standing for one '"';
// the closing quote must end the field. ',' and '"' are never the second byte of a
// double-byte character, so the bytes are split as they are. False on a malformed line.
bool SplitCsvLine(const std::string& line, std::vector<std::string>* fields);
// Appends field, quoted when it holds ',', '"', CR or LF.
void AppendCsvField(const std::string& field, std::string* line);
