#pragma once

// Every engine header, for code that uses the engine as a whole.
#include "engine/deletion.h"
#include "engine/host_layout.h"
#include "engine/localized.h"
#include "engine/removal_worker.h"
#include "engine/safety_guard.h"
