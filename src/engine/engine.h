#pragma once

// Every engine header, for code that uses the engine as a whole.
#include "engine/localized.h"
