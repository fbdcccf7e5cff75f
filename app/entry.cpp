#include "app/entry.h"

void ZebEntry(platform::Instance) {}
