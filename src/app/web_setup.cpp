#include "app/web_setup.h"

namespace kalix::app {

std::string webSetupAddress(std::string_view address, const session::RecorderIdentity& identity) {
    std::string url = "http://";
    url.append(address);
    url += ':';
    url += std::to_string(identity.web_port);
    url += "/webdb/webdb.cgi?key=";
    url += identity.keyText();
    return url;
}

WebSetupAction decideWebSetup(const session::RecorderIdentity* identity, std::string_view address,
                              bool holds_setup_right) {
    if (identity == nullptr) return {};
    const bool allowed = identity->product_major == 0 ? identity->account == 0 : holds_setup_right;
    if (!allowed) return {WebSetupDecision::Refused, {}};
    return {WebSetupDecision::Open, webSetupAddress(address, *identity)};
}

}  // namespace kalix::app
