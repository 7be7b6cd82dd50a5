// Drives a headless hex editor with arbitrary keys, characters and edits,
// undoing and redoing along the way; the sanitizers and the invariants
// below catch what goes wrong.
#include <cstddef>
#include <cstdint>

#include "valueedit/HexEditorCore.h"

namespace {

class Ed : public TObject, public THexEditorCore {};

void Check(Ed& e) {
  int32_t ds = e.GetDataSize();
  if (e.SelAnchor() >= 0 && (e.SelLow() < 0 || e.SelHigh() >= ds || e.SelLow() > e.SelHigh())) __builtin_trap();
  if (e.Col() < 2 || e.Col() >= e.CalcColCount() || e.Row() < 2 || e.Row() >= e.GetPropRowCount()) __builtin_trap();
  if (e.GetPropRowCount() != e.CalcRowCount()) __builtin_trap();
  // the caret never rests past the data (the append position in insert mode)
  int32_t p = e.GetPosAtCursor(e.Col(), e.Row());
  if (ds > 0 && p > (e.GetInsertMode() ? ds : ds - 1)) __builtin_trap();
  if (e.Col() == e.SeparatorCol()) __builtin_trap();
  for (const auto& b : e.Bookmarks())
    if (b.mPosition > ds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Ed e;
  e.SetMaxUndo(200);
  static const int kKeys[] = {hexkeys::Left,  hexkeys::Right, hexkeys::Up,     hexkeys::Down,
                              hexkeys::Prior, hexkeys::Next,  hexkeys::Home,   hexkeys::End,
                              hexkeys::Tab,   hexkeys::Back,  hexkeys::Delete, hexkeys::Insert,
                              hexkeys::Shift, '3',            'T'};
  size_t i = 0;
  auto next = [&]() -> uint8_t { return i < size ? data[i++] : 0; };
  while (i < size) {
    uint8_t op = next();
    uint8_t arg = next();
    try {
      switch (op % 12) {
        case 0:
        case 1: {
          int k = kKeys[arg % (sizeof(kKeys) / sizeof(kKeys[0]))];
          TShiftState s;
          if (arg & 0x40) s += ssShift;
          if (arg & 0x80) s += ssCtrl;
          e.SetHeadlessKeys(s.Contains(ssShift), false);
          e.HexKeyDown(k, s);
          e.SetHeadlessKeys(false, false);
          break;
        }
        case 2:
        case 3:
          e.WMChar(arg);
          break;
        case 4:
          e.Undo();
          break;
        case 5:
          e.Redo();
          break;
        case 6: {
          uint8_t buf[4] = {arg, 1, 2, 3};
          e.InsertBuffer(buf, 1 + arg % 4, e.GetDataSize() ? arg % (e.GetDataSize() + 1) : 0);
          break;
        }
        case 7:
          if (arg & 1)
            e.InsertNibble(arg % (e.GetDataSize() + 1), arg & 2);
          else
            e.DeleteNibble(arg % (e.GetDataSize() + 1), arg & 2);
          break;
        case 8:
          e.SetBytesPerRow(1 + arg % 20);
          break;
        case 9:
          if (e.GetDataSize() > 0) {
            e.SetSelStart(arg % e.GetDataSize());
            e.SetSelEnd(next() % e.GetDataSize());
          }
          break;
        case 10:
          e.SetNoSizeChange(arg & 1);
          e.SetAllowInsertMode(arg & 2);
          break;
        case 11:
          e.CombineUndo(arg % 4);
          break;
      }
    } catch (const EHexException&) {
    }
    Check(e);
  }
  return 0;
}
