// The themed classes a stream may name, registered beside the framework's
// own (items, lists, menus, toolbars, tool windows and docks).
#pragma once

void RegisterSkinClasses();
