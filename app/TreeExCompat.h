// Brings the tree control in beside the class library's list view: both
// declare an enumeration TSortType and the enumerators sdLeft / sdRight.
// The tree's names are renamed while its header is read, so one unit can
// use both controls. Include this instead of treecontrol/TreeEx.h.
#pragma once

#include "classlib/ComCtrls.h"

#define TSortType TTreeExSortType
#define stNone tstNone
#define stData tstData
#define stText tstText
#define stBoth tstBoth
#define sdLeft tsdLeft
#define sdRight tsdRight
#include "treecontrol/TreeEx.h"
#undef TSortType
#undef stNone
#undef stData
#undef stText
#undef stBoth
#undef sdLeft
#undef sdRight
