// HTML reduced to a title and blocks of text: enough for help pages, not a browser. Block-level
// tags end the current block; headings and list items start their own kind; whitespace
// collapses; the content of script, style and head (the title excepted) is skipped.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/WKWebView.h"

namespace pf {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void appendUTF8(std::string& out, std::uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes the entity starting at `text[i]` ('&'); returns the characters consumed (0: none).
std::size_t decodeEntity(std::string_view text, std::size_t i, std::string& out) {
    const std::size_t end = text.find(';', i);
    if (end == std::string_view::npos || end - i > 10) return 0;
    const std::string_view name = text.substr(i + 1, end - i - 1);
    if (name.empty()) return 0;
    if (name[0] == '#') {
        std::uint32_t code = 0;
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        for (char c : digits) {
            const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : hex && std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
            if (d < 0) return 0;
            code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
            if (code > 0x10FFFF) code = 0x110000; // stays out of range, reported as U+FFFD
        }
        appendUTF8(out, code);
        return end - i + 1;
    }
    static constexpr struct {
        std::string_view name;
        std::uint32_t code;
    } kNamed[] = {{"amp", '&'},      {"lt", '<'},       {"gt", '>'},        {"quot", '"'},
                  {"apos", '\''},    {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},
                  {"ndash", 0x2013}, {"mdash", 0x2014}, {"hellip", 0x2026}, {"times", 0xD7},
                  {"rarr", 0x2192},  {"deg", 0xB0}};
    for (const auto& entity : kNamed) {
        if (name == entity.name) {
            appendUTF8(out, entity.code);
            return end - i + 1;
        }
    }
    return 0;
}

class Reducer {
public:
    WKParsedPage run(std::string_view html) {
        std::size_t i = 0;
        while (i < html.size()) {
            if (html[i] == '<') {
                i = tag(html, i);
            } else if (html[i] == '&') {
                std::string decoded;
                const std::size_t used = decodeEntity(html, i, decoded);
                text(used ? std::string_view(decoded) : std::string_view("&"));
                i += used ? used : 1;
            } else {
                text(html.substr(i, 1));
                ++i;
            }
        }
        endBlock();
        return std::move(page_);
    }

private:
    // Handles the tag at html[i]; returns the index after it.
    std::size_t tag(std::string_view html, std::size_t i) {
        if (html.substr(i, 4) == "<!--") {
            const std::size_t end = html.find("-->", i + 4);
            return end == std::string_view::npos ? html.size() : end + 3;
        }
        const std::size_t end = html.find('>', i);
        if (end == std::string_view::npos) return html.size();
        std::string_view inside = html.substr(i + 1, end - i - 1);
        const bool closing = !inside.empty() && inside[0] == '/';
        if (closing) inside.remove_prefix(1);
        std::size_t n = 0;
        while (n < inside.size() && std::isalnum(static_cast<unsigned char>(inside[n])))
            ++n;
        const std::string name = lower(inside.substr(0, n));

        if (!closing && (name == "script" || name == "style")) {
            const std::string close = "</" + name;
            std::size_t at = end + 1;
            while (at < html.size()) {
                const std::size_t found = html.find('<', at);
                if (found == std::string_view::npos) return html.size();
                if (lower(html.substr(found, close.size())) == close) {
                    const std::size_t closeEnd = html.find('>', found);
                    return closeEnd == std::string_view::npos ? html.size() : closeEnd + 1;
                }
                at = found + 1;
            }
            return html.size();
        }
        if (name == "title") {
            inTitle_ = !closing;
        } else if (name == "head") {
            inHead_ = !closing;
        } else if (name == "br") {
            if (!current_.empty() && current_.back() != '\n') current_ += '\n';
            pendingSpace_ = false;
        } else if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
            endBlock();
            kind_ = closing ? WKPageBlock::Kind::paragraph : WKPageBlock::Kind::heading;
        } else if (name == "li") {
            endBlock();
            kind_ = closing ? WKPageBlock::Kind::paragraph : WKPageBlock::Kind::item;
        } else if (name == "p" || name == "div" || name == "ul" || name == "ol" || name == "tr" ||
                   name == "table" || name == "section" || name == "article" || name == "header" ||
                   name == "footer" || name == "nav" || name == "pre" || name == "blockquote" ||
                   name == "dt" || name == "dd" || name == "body" || name == "hr") {
            endBlock();
            kind_ = WKPageBlock::Kind::paragraph;
        }
        return end + 1;
    }

    void text(std::string_view chars) {
        std::string& target = inTitle_ ? page_.title : current_;
        if (inHead_ && !inTitle_) return;
        for (char c : chars) {
            if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f') {
                pendingSpace_ = true;
                continue;
            }
            if (pendingSpace_ && !target.empty() && target.back() != '\n') target += ' ';
            pendingSpace_ = false;
            target += c;
        }
    }

    void endBlock() {
        while (!current_.empty() && (current_.back() == '\n' || current_.back() == ' '))
            current_.pop_back();
        if (!current_.empty()) page_.blocks.push_back(WKPageBlock{kind_, std::move(current_)});
        current_.clear();
        pendingSpace_ = false;
    }

    WKParsedPage page_;
    std::string current_;
    WKPageBlock::Kind kind_ = WKPageBlock::Kind::paragraph;
    bool inTitle_ = false;
    bool inHead_ = false;
    bool pendingSpace_ = false;
};

} // namespace

WKParsedPage parseHTMLPage(const std::string& html) {
    return Reducer().run(html);
}

} // namespace pf
