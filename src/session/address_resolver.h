#pragma once
// Turns what the operator typed as the recorder's address into the dotted
// text the session connects to.

#include <string>
#include <string_view>

namespace kalix::session {

// A dotted address stays dotted text (normalised "%d.%d.%d.%d" when any part
// is non-zero); a host name becomes the first IPv4 address it resolves to;
// a name that does not resolve gives an empty text.
std::string resolveRecorderAddress(std::string_view typed);

}  // namespace kalix::session
