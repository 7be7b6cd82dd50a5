// Brings the tree control in beside the class library's list view. Both
// share one TSortType declaration, so this is only a convenience include.
#pragma once

#include "classlib/ComCtrls.h"
#include "treecontrol/TreeEx.h"
