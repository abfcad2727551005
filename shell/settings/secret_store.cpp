#include "shell/settings/secret_store.h"

namespace mirx::shell {

std::string secretKey(std::string_view profile, std::string_view server) {
    std::string key;
    key.reserve(profile.size() + server.size() + 1);
    for (const char c : profile) {
        if (c == '\\' || c == '@') {
            key += '\\';
        }
        key += c;
    }
    key += '@';
    key += server;
    return key;
}

} // namespace mirx::shell
