// The addresses of the vendor's server pages: the update and order pages opened in the browser,
// and the newsletter request sent in the background.
#pragma once

#include <string>
#include <string_view>

#include "localisation/context.h"
#include "ui/host.h"

namespace nd::online {

// The script on the server that answers every request; its actions are query parameters.
inline constexpr std::string_view kServerScript = "/software/__s2_system.pl";

// The server's scheme, host and optional port without a final "/": $NULLDRIFT_SERVER when set
// (a test server, a mirror), else the vendor's own.
std::string ServerBase();

// RFC 3986 form of a query value: unreserved characters stay, every other byte becomes %XX.
std::string PercentEncode(std::string_view text);

// What every request tells the server about this copy of the program.
struct RequestFacts {
  std::string version_text;
  std::string country;
  std::string pcid;  // always empty: no machine identifier leaves the machine
  std::string language;
};

RequestFacts FactsOf(const Context& context);

// The page for `action` ("updates", "order", ...). `extra` is appended as it is, so it must
// already be in query form ("&name=value", values encoded).
std::string ServerPageAddress(const std::string& base, std::string_view action,
                              const RequestFacts& facts, std::string_view extra);

std::string NewsletterAddress(const std::string& base, const RequestFacts& facts,
                              std::string_view email, std::string_view first_name,
                              std::string_view last_name);

// Opens the page for `action` in the browser and returns "", or with `url_only` returns its
// address and opens nothing.
std::string OpenServerPage(const Context& context, ui::Host& host, std::string_view action,
                           std::string_view extra, bool url_only);

}  // namespace nd::online
