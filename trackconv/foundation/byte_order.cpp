#include "trackconv/foundation/byte_order.h"

#include <stdexcept>

void FieldReader::FieldOverrun() {
  throw std::logic_error("record field read past the end of its block");
}
