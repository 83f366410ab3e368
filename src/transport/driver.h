// The bound reader driver: its function table and the only way the rest of
// the library calls into it. Each call checks its table entry, so an empty
// entry (a name the driver lacks, or no driver bound) is never called.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tarnwick::driver {

std::optional<uint32_t> Open(const char* port);
std::optional<int32_t> Close(uint32_t handle);
std::optional<int32_t> ResetReader(int32_t arg);
std::optional<int32_t> ResetCard(int32_t arg1, int32_t arg2, int32_t arg3);
std::optional<int32_t> SetNad(int32_t nad);
// ICC_tsi_api through the loader's one call with its retries: 0x6700 for a
// command too long for the driver, 0xFFFF when no driver answers.
int32_t Transmit(uint32_t handle, std::span<const uint8_t> command, uint8_t* rsp_len, uint8_t* rsp);

}  // namespace tarnwick::driver
