// The dispatch table lives beside the page registry; this name stays for existing includes.
#pragma once

#include "pages/Dispatch.h"
