// Everything a form needs from the toolbar and menu framework: items,
// toolbars, docks, pop-up menus, the edit item and position storage.
#pragma once

#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarItems.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/BarViews.h"
