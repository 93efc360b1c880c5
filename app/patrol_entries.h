// The check list as the Patrol takes it.
#pragma once

#include <vector>

#include "checklist/url_list.h"
#include "net/patrol_core.h"

std::vector<PatrolEntry> PatrolEntries(const UrlList& list);
