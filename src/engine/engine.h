#pragma once

// Every engine header, for code that uses the engine as a whole.
#include "engine/cancel_token.h"
#include "engine/deletion.h"
#include "engine/dev_artifact.h"
#include "engine/dir_node.h"
#include "engine/disk_scanner.h"
#include "engine/disk_usage.h"
#include "engine/file_category.h"
#include "engine/file_item.h"
#include "engine/host_layout.h"
#include "engine/inode_key.h"
#include "engine/localized.h"
#include "engine/removal_worker.h"
#include "engine/safety_guard.h"
#include "engine/scan_options.h"
#include "engine/scan_progress.h"
#include "engine/scan_result.h"
