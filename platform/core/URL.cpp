#include "core/URL.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>

namespace pf {
namespace {

bool isUnreserved(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool isAllowedInURL(unsigned char c) {
    return isUnreserved(c) || std::strchr(":/?#[]@!$&'()*+,;=%", c) != nullptr;
}

// Escapes a file path for a file URL: everything but unreserved characters and the sub-delims
// the platform leaves alone.
std::string escapePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (isUnreserved(c) || c == '/' || std::strchr("!$&'()*+,;=:@", c) != nullptr) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string("/");
}

} // namespace

URL URL::fileURLWithPath(std::string_view path, bool isDirectory) {
    std::string absolute(path);
    if (absolute.empty() || absolute.front() != '/') {
        const std::string base = currentDirectory();
        absolute = base + (base.back() == '/' ? "" : "/") + absolute;
    }
    if (isDirectory && absolute.back() != '/') absolute += '/';
    return URL("file", "file://" + escapePath(absolute));
}

std::optional<URL> URL::string(std::string_view text) {
    if (text.empty()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!isAllowedInURL(c)) return std::nullopt;
        if (c == '%' &&
            (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0)) {
            return std::nullopt;
        }
    }
    std::string scheme;
    const auto colon = text.find(':');
    const auto firstDelimiter = text.find_first_of("/?#");
    if (colon != std::string_view::npos && colon > 0 &&
        (firstDelimiter == std::string_view::npos || colon < firstDelimiter) &&
        std::isalpha(static_cast<unsigned char>(text[0]))) {
        scheme = std::string(text.substr(0, colon));
        for (char c : scheme) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
                return std::nullopt;
            }
        }
        for (auto& c : scheme)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return URL(std::move(scheme), std::string(text));
}

std::string_view URL::rawPath() const {
    std::string_view rest(text_);
    if (!scheme_.empty()) rest.remove_prefix(scheme_.size() + 1);
    if (rest.starts_with("//")) {
        const auto slash = rest.find_first_of("/?#", 2);
        // No path: an empty view at the end of the authority, where a path would go.
        rest = rest.substr(slash == std::string_view::npos ? rest.size() : slash);
    }
    const auto end = rest.find_first_of("?#");
    return rest.substr(0, end);
}

URL URL::withRawPath(std::string_view newPath) const {
    const std::string_view old = rawPath(); // always a view into text_
    std::string text = text_;
    text.replace(static_cast<std::size_t>(old.data() - text_.data()), old.size(), newPath);
    return URL(scheme_, std::move(text));
}

std::string URL::path() const {
    std::string decoded = unescape(rawPath());
    while (decoded.size() > 1 && decoded.back() == '/')
        decoded.pop_back();
    return decoded;
}

bool URL::hasDirectoryPath() const {
    const auto raw = rawPath();
    return !raw.empty() && raw.back() == '/';
}

std::string URL::lastPathComponent() const {
    const std::string p = path();
    if (p == "/") return p;
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string URL::pathExtension() const {
    const std::string last = lastPathComponent();
    const auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return {};
    return last.substr(dot + 1);
}

URL URL::appendingPathComponent(std::string_view component, bool isDirectory) const {
    std::string raw(rawPath());
    if (raw.empty() || raw.back() != '/') raw += '/';
    std::string_view name = component;
    while (name.starts_with('/'))
        name.remove_prefix(1);
    raw += escapePath(name);
    if (isDirectory && raw.back() != '/') raw += '/';
    return withRawPath(raw);
}

URL URL::deletingLastPathComponent() const {
    std::string raw(rawPath());
    while (raw.size() > 1 && raw.back() == '/')
        raw.pop_back();
    const auto slash = raw.rfind('/');
    raw = slash == std::string::npos ? std::string() : raw.substr(0, slash + 1);
    return withRawPath(raw);
}

URL URL::deletingPathExtension() const {
    const std::string extension = pathExtension();
    if (extension.empty()) return *this;
    std::string raw(rawPath());
    const bool directory = raw.size() > 1 && raw.back() == '/';
    if (directory) raw.pop_back();
    raw.erase(raw.size() - escapePath(extension).size() - 1);
    if (directory) raw += '/';
    return withRawPath(raw);
}

} // namespace pf
