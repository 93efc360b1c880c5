// The GDI backend of the grid paint: fonts, brushes and pens of one paint, then the ops.
#include <windows.h>

#include "view/grid_draw.h"

namespace {

HFONT GridFont(int weight) {
  return CreateFontA(-12, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                     "ＭＳ ゴシック");
}

}  // namespace

void DrawGridOps(HDC dc, const std::vector<DrawOp>& ops) {
  HFONT normal = GridFont(FW_NORMAL);
  HFONT bold = GridFont(FW_BOLD);
  HBRUSH band = CreateSolidBrush(kBandColor);
  HBRUSH white = CreateSolidBrush(kWhiteColor);
  HPEN cyan = CreatePen(PS_SOLID, 2, kBandColor);
  HPEN green = CreatePen(PS_SOLID, 2, kGreenLineColor);

  HGDIOBJ old_font = SelectObject(dc, normal);
  HGDIOBJ old_pen = SelectObject(dc, cyan);
  SetBkMode(dc, TRANSPARENT);
  for (const DrawOp& op : ops) {
    RECT r = {op.x, op.y, op.x2, op.y2};
    switch (op.kind) {
      case DrawKind::kFill:
        FillRect(dc, &r, op.color == kBandColor ? band : white);
        break;
      case DrawKind::kText:
      case DrawKind::kClippedText:
        SelectObject(dc, op.bold ? bold : normal);
        SetTextColor(dc, op.color);
        if (op.kind == DrawKind::kText)
          TextOutA(dc, op.x, op.y, op.text.data(), int(op.text.size()));
        else
          DrawTextA(dc, op.text.data(), int(op.text.size()), &r, 0);
        break;
      case DrawKind::kLine:
        SelectObject(dc, op.color == kBandColor ? cyan : green);
        MoveToEx(dc, op.x, op.y, nullptr);
        LineTo(dc, op.x2, op.y2);
        break;
    }
  }
  SelectObject(dc, old_font);
  SelectObject(dc, old_pen);
  DeleteObject(normal);
  DeleteObject(bold);
  DeleteObject(band);
  DeleteObject(white);
  DeleteObject(cyan);
  DeleteObject(green);
}
