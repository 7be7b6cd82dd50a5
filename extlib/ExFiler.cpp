#include "extlib/ExFiler.h"

namespace ExFiler {

const TNames AlignmentNames{L"taLeftJustify", L"taRightJustify", L"taCenter"};
const TNames BorderStyleNames{L"bsNone", L"bsSingle"};

}  // namespace ExFiler
