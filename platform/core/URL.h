#pragma once
// Addresses: file URLs made from paths, and other URLs parsed from text. Values; [any-thread].

#include <optional>
#include <string>
#include <string_view>

namespace pf {

class URL {
public:
    // A file URL for `path`; a relative path is taken from the current directory. With
    // `isDirectory` the URL ends in a slash.
    static URL fileURLWithPath(std::string_view path, bool isDirectory = false);
    // Parses `text` as an absolute URL or a relative reference. Nothing when it holds characters
    // a URL may not hold (spaces, quotes, …) or a malformed percent escape. Text is not escaped.
    static std::optional<URL> string(std::string_view text);

    // "file", "https", … (empty for a relative reference).
    const std::string& scheme() const noexcept { return scheme_; }
    bool isFileURL() const noexcept { return scheme_ == "file"; }
    // The text form, e.g. "file:///tmp/a%20b/".
    const std::string& absoluteString() const noexcept { return text_; }
    // The percent-decoded path, without a trailing slash ("/" stays "/").
    std::string path() const;
    bool hasDirectoryPath() const;
    std::string lastPathComponent() const;
    // The extension of the last component, without its dot ("" when none).
    std::string pathExtension() const;

    URL appendingPathComponent(std::string_view component, bool isDirectory = false) const;
    URL deletingLastPathComponent() const;
    URL deletingPathExtension() const;

    friend bool operator==(const URL&, const URL&) = default;

private:
    URL(std::string scheme, std::string text)
        : scheme_(std::move(scheme)), text_(std::move(text)) {}
    // The raw (still escaped) path part of text_, as a view into it (empty where a path would go).
    std::string_view rawPath() const;
    URL withRawPath(std::string_view rawPath) const;

    std::string scheme_;
    std::string text_;
};

} // namespace pf
