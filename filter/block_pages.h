// The three block pages a visitor may see: a URL on the black list, a client address on the
// black list, and a page (or posted form) that carries a forbidden keyword. They are the
// engine's own resources, in GBK, set into the first settings record before the first load.
//
// Placeholders: "%url%", "%ip%", "%stop%" (the script that stops the browser loading the
// rest of the page) and "%user%" (the administrator's message, inside a script string; the
// first load fills it in). The keyword page also carries "%key%" and "%time%".
//
// The pages are bare HTML without a response head: a filter that blocks during URL mapping
// or in the extension writes them as the whole response, and the keyword page is also
// inserted after a header template or in the middle of a page chunk. The keyword page
// therefore opens by closing any element a cut-off chunk may have left open.
#pragma once

#include <string>

namespace orv::filter {

const std::string& UrlBlockPageTemplate();
const std::string& IpBlockPageTemplate();
const std::string& KeywordBlockPageTemplate();

}  // namespace orv::filter
