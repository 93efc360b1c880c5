// The qupra-tool commands: create a price database, fill it from CSV files and list it.
#pragma once

#include <cstdio>

// Exit code: 0 on success, 1 on a failure (message on err), 2 on a usage error.
int RunQupraTool(int argc, const char* const* argv, FILE* out, FILE* err);
