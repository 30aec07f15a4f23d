#pragma once
// The one-line progress display of devu_fetch: percent, bytes so far of the total, speed.
#include <cstdint>
#include <string>

std::wstring FormatProgressLine(uint64_t total, uint64_t completed, uint32_t bytesPerSecond);
