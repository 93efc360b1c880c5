// Executes a grid paint's drawing operations with GDI.
#pragma once

#include <windows.h>

#include <vector>

#include "view/grid_paint.h"

// Creates the grid's fonts, brushes and pens, draws ops and deletes them again.
void DrawGridOps(HDC dc, const std::vector<DrawOp>& ops);
