#pragma once

#include <cstddef>

namespace platform {

// Asks the kernel to back the whole 2 MiB pages inside [data, data + length) with huge
// pages where it allows that on request: a big array filled once then costs a fault per
// 2 MiB instead of per 4 KiB. Only a hint; nothing changes where it is not supported.
void AdviseHugePages(void* data, size_t length);

}  // namespace platform
