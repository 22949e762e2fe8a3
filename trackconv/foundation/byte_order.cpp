#include "trackconv/foundation/byte_order.h"

#include <stdexcept>

const uint8_t* FieldReader::Take(std::size_t count) {
  if (count > size_ - offset_)
    throw std::logic_error("record field read past the end of its block");
  const uint8_t* p = data_ + offset_;
  offset_ += count;
  return p;
}
