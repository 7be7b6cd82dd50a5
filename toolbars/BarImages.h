// The few image-list operations the viewers need, in one place.
#pragma once

#include "classlib/Graphics.h"

class TCustomImageList;

int BarImageWidth(TCustomImageList* IL);
int BarImageHeight(TCustomImageList* IL);
// Draws image Index at (X, Y); a state image list picks its disabled,
// checked or hot list first.
void BarImageDrawState(TCustomImageList* IL, TCanvas* Canvas, int X, int Y, int Index,
                       bool Enabled, bool Selected, bool Checked);
