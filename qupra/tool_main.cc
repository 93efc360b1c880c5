// qupra-tool: creates, fills and lists the price database that QUPRA.dll reads.
#include <cstdio>

#include "qupra/tool.h"

int main(int argc, char** argv) { return RunQupraTool(argc, argv, stdout, stderr); }
