// Root object class.
#include "classlib/Events.h"

TObject::~TObject() = default;
