#include "classlib/Classes.h"
