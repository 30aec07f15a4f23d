#pragma once
// The Content-Range header of a partial response.
#include <cstdint>
#include <string>

// The first byte position of "bytes a-b/size"; false when the text holds no number.
bool ContentRangeStart(const std::wstring& text, uint64_t* start);
