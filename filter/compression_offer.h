// The request's compression offer (Accept-Encoding), cut down so that a screened response can
// only come back as plain bytes: a coding the screen cannot read would carry any word past it.
#pragma once

#include <string>

namespace orv::filter {

// Overwrites with spaces every byte of a lower-cased Accept-Encoding value except the list
// elements whose coding is "identity" (with their parameters) and the commas that still
// separate two of them. The value keeps its length: "gzip, deflate" becomes 13 spaces, which a
// server reads as an empty offer (plain bytes only); "gzip, identity;q=0.5" keeps
// "identity;q=0.5" where it stood. "*" is a coding like any other. Commas inside a quoted
// parameter value do not separate elements. True when a byte changed.
bool StripCompressionOffer(std::string& lowerValue);

}  // namespace orv::filter
