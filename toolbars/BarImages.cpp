#include "toolbars/BarImages.h"

#include "classlib/ImgList.h"

int BarImageWidth(TCustomImageList* IL) { return IL ? IL->GetWidth() : 0; }

int BarImageHeight(TCustomImageList* IL) { return IL ? IL->GetHeight() : 0; }

void BarImageDrawState(TCustomImageList* IL, TCanvas* Canvas, int X, int Y, int Index,
                       bool Enabled, bool, bool) {
  if (IL) IL->Draw(Canvas, X, Y, Index, Enabled);
}
