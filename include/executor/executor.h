#pragma once

// The whole public interface of the executor library.

#include "executor/calib/calib_func.h"
#include "executor/cmd/kest_cmd.h"
#include "executor/cmd/kest_cmd_list.h"
#include "executor/core/dev_records.h"
#include "executor/core/executor.h"
#include "executor/export.h"
#include "executor/platform/byte_order.h"
#include "executor/platform/codec.h"
#include "executor/platform/crc.h"
#include "executor/platform/ipv4_helper.h"
#include "executor/platform/logger.h"
#include "executor/platform/param.h"
#include "executor/platform/text.h"
#include "executor/platform/thread.h"
#include "executor/proto7/executor7.h"
#include "executor/transfer/forwarding_transfer.h"
#include "executor/transfer/serialised_transfer.h"
#include "executor/transfer/transfer.h"
#include "executor/types.h"
