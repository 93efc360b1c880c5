// What a Patrol tells about each address: one wording table for the CLI's lines and the
// window's message box.
#pragma once

#include <string>
#include <vector>

#include "net/patrol_core.h"

// "written", "unchanged" or "failed: " and the reason, for the CLI.
std::string DescribeOutcome(const PatrolLine& line);

// True when the address's cache file holds the download (written or unchanged).
bool Fetched(const PatrolLine& line);

// The reason as the window tells it, in Japanese; empty for a fetched address.
std::string FailureForUser(const PatrolLine& line);

// The most addresses the window's message names; the rest are counted.
const size_t kMaxNamedFailures = 20;

// The window's message after a Patrol: a first line, then "・name: reason" per failed
// address in list order (at most kMaxNamedFailures, then "ほか N 件"); empty when every
// address was fetched.
std::string PatrolFailureMessage(const std::vector<PatrolLine>& lines);
