// Names put into glTF and 3MF files: made valid UTF-8 first (a byte that
// starts no valid sequence becomes U+FFFD), since a file name may be in any
// encoding while these formats take UTF-8 only.
#pragma once

#include <string>

namespace dozu {

std::string valid_utf8(const std::string& text);
// Text for an XML attribute value; characters that XML forbids are dropped.
std::string xml_attribute(const std::string& text);

}  // namespace dozu
