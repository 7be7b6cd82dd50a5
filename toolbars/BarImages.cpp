#include "toolbars/BarImages.h"

#if __has_include("classlib/ImgList.h")
#include "classlib/ImgList.h"
#define BAR_HAVE_IMGLIST 1
#endif

int BarImageWidth(TCustomImageList* IL) {
#ifdef BAR_HAVE_IMGLIST
  return IL ? IL->GetWidth() : 0;
#else
  (void)IL;
  return 0;
#endif
}

int BarImageHeight(TCustomImageList* IL) {
#ifdef BAR_HAVE_IMGLIST
  return IL ? IL->GetHeight() : 0;
#else
  (void)IL;
  return 0;
#endif
}

void BarImageDrawState(TCustomImageList* IL, TCanvas* Canvas, int X, int Y, int Index,
                       bool Enabled, bool, bool) {
#ifdef BAR_HAVE_IMGLIST
  if (IL) IL->Draw(Canvas, X, Y, Index, Enabled);
#else
  (void)IL; (void)Canvas; (void)X; (void)Y; (void)Index; (void)Enabled;
#endif
}
