// Digest challenge and verification of the simulated device (RFC 2617, MD5 from OpenSSL).
#include "tools/zebdevice/digest_check.h"

#include <openssl/evp.h>

#include <cctype>
#include <cstdlib>

namespace zebdevice {
namespace {

std::string RawMd5(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string Md5Hex(const std::string& bytes) {
    return Hex(RawMd5(bytes));
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    std::size_t end = text.find_last_not_of(" \t");
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

const char* QopOffered(QopMode mode) {
    switch (mode) {
        case QopMode::Auth:
            return "auth";
        case QopMode::AuthInt:
            return "auth-int";
        case QopMode::List:
            return "auth,auth-int";
        default:
            return "";
    }
}

bool QopAccepted(QopMode mode, const std::string& qop) {
    switch (mode) {
        case QopMode::Auth:
            return qop == "auth";
        case QopMode::AuthInt:
            return qop == "auth-int";
        case QopMode::List:
            return qop == "auth" || qop == "auth-int" || qop == "auth,auth-int";
        default:
            return qop.empty();
    }
}

bool AlgorithmAccepted(AlgorithmMode mode, const std::string& algorithm) {
    std::string a = Lower(algorithm);
    if (mode == AlgorithmMode::Md5Sess) {
        return a == "md5-sess";
    }
    return a.empty() || a == "md5";
}

// A nonce count: one to sixteen hexadecimal digits.
bool ParseCount(const std::string& text, std::uint64_t* count) {
    if (text.empty() || text.size() > 16) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    *count = std::strtoull(text.c_str(), nullptr, 16);
    return true;
}

}  // namespace

std::string ChallengeHeader(const DeviceSettings& settings, const std::string& nonce) {
    std::string header =
        "WWW-Authenticate: Digest realm=\"" + settings.realm + "\", nonce=\"" + nonce + "\"";
    if (settings.algorithm == AlgorithmMode::Md5) {
        header += ", algorithm=\"MD5\"";
    } else if (settings.algorithm == AlgorithmMode::Md5Sess) {
        header += ", algorithm=\"MD5-sess\"";
    }
    if (settings.qop != QopMode::None) {
        header += std::string(", qop=\"") + QopOffered(settings.qop) + "\"";
    }
    if (!settings.opaque.empty()) {
        header += ", opaque=\"" + settings.opaque + "\"";
    }
    return header + "\r\n";
}

std::map<std::string, std::string> ParseDigestCredentials(const std::string& value) {
    std::map<std::string, std::string> fields;
    std::string text = Trim(value);
    if (Lower(text.substr(0, 7)) == "digest ") {
        text = text.substr(7);
    }
    std::string lastKey;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t tokenEnd = i;
        bool quoted = false;
        while (tokenEnd < text.size() && (quoted || text[tokenEnd] != ',')) {
            if (text[tokenEnd] == '"') {
                quoted = !quoted;
            }
            ++tokenEnd;
        }
        std::string token = Trim(text.substr(i, tokenEnd - i));
        i = tokenEnd + 1;
        std::size_t equals = token.find('=');
        if (equals == std::string::npos) {
            // A bare word continues an unquoted list such as qop=auth,auth-int.
            if (!lastKey.empty() && !token.empty()) {
                fields[lastKey] += "," + token;
            }
            continue;
        }
        std::string key = Lower(Trim(token.substr(0, equals)));
        std::string v = Trim(token.substr(equals + 1));
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
            v = v.substr(1, v.size() - 2);
            lastKey.clear();
        } else {
            lastKey = key;
        }
        fields[key] = v;
    }
    return fields;
}

DigestVerdict VerifyDigest(const DeviceSettings& settings, DeviceState* state,
                           const std::string& credentials, const std::string& method,
                           const std::string& uri) {
    std::map<std::string, std::string> f = ParseDigestCredentials(credentials);
    for (const char* required : {"username", "realm", "nonce", "uri", "response"}) {
        if (f.find(required) == f.end()) {
            return {false, std::string("missing ") + required};
        }
    }
    if (f["username"] != settings.user) {
        return {false, "unknown user"};
    }
    if (f["realm"] != settings.realm) {
        return {false, "wrong realm"};
    }
    if (f["uri"] != uri) {
        return {false, "uri does not match the request"};
    }
    if (!AlgorithmAccepted(settings.algorithm, f["algorithm"])) {
        return {false, "algorithm " + f["algorithm"] + " not offered"};
    }
    const std::string qop = f["qop"];
    if (!QopAccepted(settings.qop, qop)) {
        return {false, "qop " + qop + " not offered"};
    }
    std::uint64_t count = 0;
    if (!qop.empty() && (!ParseCount(f["nc"], &count) || f["cnonce"].empty())) {
        return {false, "bad nc or cnonce"};
    }

    std::string a1 = settings.user + ":" + settings.realm + ":" + settings.password;
    std::string ha1 = settings.algorithm == AlgorithmMode::Md5Sess
                          ? Md5Hex(RawMd5(a1) + ":" + f["nonce"] + ":" + f["cnonce"])
                          : Md5Hex(a1);
    std::string a2 = method + ":" + uri;
    if (qop == "auth-int") {
        a2 += ":" + Md5Hex("");
    }
    std::string expected = qop.empty() ? Md5Hex(ha1 + ":" + f["nonce"] + ":" + Md5Hex(a2))
                                       : Md5Hex(ha1 + ":" + f["nonce"] + ":" + f["nc"] + ":" +
                                                f["cnonce"] + ":" + qop + ":" + Md5Hex(a2));
    if (f["response"] != expected) {
        return {false, "wrong response"};
    }

    std::lock_guard<std::mutex> lock(state->mutex);
    for (IssuedNonce& issued : state->nonces) {
        if (issued.nonce != f["nonce"]) {
            continue;
        }
        if (!qop.empty()) {
            if (count <= issued.lastCount) {
                return {false, "nc " + f["nc"] + " not above the last"};
            }
            issued.lastCount = count;
        }
        return {true, ""};
    }
    return {false, "unknown nonce"};
}

}  // namespace zebdevice
