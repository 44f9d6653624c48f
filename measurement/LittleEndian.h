#pragma once
// The little-endian readers and writers live with the platform's byte order helpers.
#include "platform/core/ByteOrder.h"
