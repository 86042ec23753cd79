#pragma once
// The link port operations that hosts are meant to use: _vrtCL_fOpen and
// _vrtCL_fClose drive the modem of a port whose `usage` is on, the others pass
// straight to their plain twins, and _vrtCL_fSetPhone sets the number to dial.
#include <cstddef>

namespace vrt::link {

// Longest phone number, counted on the text as the caller passes it.
inline constexpr size_t kMaxPhoneLength = 48;

}  // namespace vrt::link
