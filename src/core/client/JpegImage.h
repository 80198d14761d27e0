#pragma once
// JPEG photos (object pictures) decoded into the core's picture type.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/map/Bitmap32.h"

namespace kelvra {

// Decodes a JPEG held in memory (colour, grey, or CMYK/YCCK converted to RGB) into an
// opaque bitmap. Returns null with a reason in Error for data that is not a usable JPEG,
// including one cut short or with corrupt data.
std::unique_ptr<TBitmap32> DecodeJpeg(const std::uint8_t *Data, std::size_t Size,
                                      std::string &Error);

} // namespace kelvra
