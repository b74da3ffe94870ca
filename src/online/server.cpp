#include "online/server.h"

#include <cstdlib>

#include "online/browser_handoff.h"
#include "platform/locale.h"

namespace nd::online {
namespace {

constexpr std::string_view kDefaultServer = "http://www.nulldrift.net";
// The program's code on the server, sent first in every request.
constexpr std::string_view kProgramCode = "?scn=NDRF";

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// "&name=" + the encoded value.
void AddParameter(std::string& address, std::string_view name, std::string_view value) {
  address += '&';
  address += name;
  address += '=';
  address += PercentEncode(value);
}

}  // namespace

std::string ServerBase() {
  const char* configured = std::getenv("NULLDRIFT_SERVER");
  std::string base = configured && *configured ? configured : std::string(kDefaultServer);
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c)) {
      encoded += ch;
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

RequestFacts FactsOf(const Context& context) {
  return RequestFacts{context.env.version_text, platform::UserCountry(), "",
                      context.language.current_language};
}

std::string ServerPageAddress(const std::string& base, std::string_view action,
                              const RequestFacts& facts, std::string_view extra) {
  std::string address = base;
  address += kServerScript;
  address += kProgramCode;
  AddParameter(address, "to", action);
  AddParameter(address, "version", facts.version_text);
  AddParameter(address, "country", facts.country);
  AddParameter(address, "pcid", facts.pcid);
  AddParameter(address, "language", facts.language);
  address += extra;
  return address;
}

std::string NewsletterAddress(const std::string& base, const RequestFacts& facts,
                              std::string_view email, std::string_view first_name,
                              std::string_view last_name) {
  std::string address = base;
  address += kServerScript;
  address += kProgramCode;
  AddParameter(address, "version", facts.version_text);
  AddParameter(address, "country", facts.country);
  AddParameter(address, "email", email);
  AddParameter(address, "language", facts.language);
  // The server's code for a newsletter subscription.
  AddParameter(address, "t", "1000");
  AddParameter(address, "fn", first_name);
  AddParameter(address, "ln", last_name);
  return address;
}

std::string OpenServerPage(const Context& context, ui::Host& host, std::string_view action,
                           std::string_view extra, bool url_only) {
  std::string address = ServerPageAddress(ServerBase(), action, FactsOf(context), extra);
  if (url_only) return address;
  OpenInBrowser(host, address);
  return {};
}

}  // namespace nd::online
