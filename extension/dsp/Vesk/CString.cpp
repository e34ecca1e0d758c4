#include "Vesk/CString.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "Vesk/CStringList.h"
#include "Vesk/Vesk.h"

namespace Vesk {

int CString::count = -1;
// After this file's own PrinTable, invalid and empty (from Vesk.h), as they are defined first.
CString CString::tempstr;
char CString::nirvana = 0;

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The regular file at path, opened with `flags`, or -1. Opened without blocking, as a named pipe
// would wait for its other end, and refused unless it is a regular file: a device may never end.
int openRegularFile(const char* path, int flags, struct stat& info) noexcept {
    const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether exactly `size` bytes were read: a file that delivers fewer than it announced fails.
bool readExactly(int fd, char* buffer, std::size_t size) noexcept {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Wide enough for "%d" of any int and "%f" of any double (309 digits and six decimals).
struct NumberText {
    char text[400];
    std::size_t size = 0;
};

NumberText format(int value) noexcept {
    NumberText n;
    n.size = static_cast<std::size_t>(std::snprintf(n.text, sizeof n.text, "%d", value));
    return n;
}

NumberText format(double value) noexcept {
    NumberText n;
    const int written = std::snprintf(n.text, sizeof n.text, "%f", value);
    n.size = written < 0 ? 0u : std::min(static_cast<std::size_t>(written), sizeof n.text - 1);
    return n;
}

bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}
bool isUpper(char c) noexcept {
    return c >= 'A' && c <= 'Z';
}
bool isLower(char c) noexcept {
    return c >= 'a' && c <= 'z';
}

int saturate(long long value) noexcept {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

CString::CString() noexcept {
    init();
}

CString::CString(const char* text) noexcept {
    init();
    AssignBytes(text, StrLen(text));
}

CString::CString(const CString& other) noexcept : CData(other) {
    init();
}

CString::CString(CString&& other) noexcept : CData(std::move(other)) {
    init();
}

CString& CString::operator=(CString&& other) noexcept {
    CData::operator=(std::move(other));
    return *this;
}

CString::~CString() {
    Clear();
    --count;
}

void CString::init() noexcept {
    ++count;
    className_ = "CString";
}

const char* CString::String() {
    return c_str();
}
const char* CString::c_str() const noexcept {
    return data_;
}
int CString::ClassCount() const noexcept {
    return count;
}

void CString::reassign(int n) noexcept {
    Clear();
    if (n <= 0) return;
    if (char* buffer = AllocText(static_cast<std::size_t>(n)))
        Adopt(buffer, static_cast<std::size_t>(n));
}

void CString::AssignBytes(const char* text, std::size_t size) noexcept {
    if (text == nullptr || size == 0) {
        Clear();
        return;
    }
    char* buffer = AllocText(size);
    if (buffer != nullptr) std::memcpy(buffer, text, size);
    Adopt(buffer, buffer != nullptr ? size : 0);
}

int CString::operator=(const CString& other) noexcept {
    if (this != &other) AssignBytes(other.HasData() ? other.data_ : nullptr, other.length_);
    return 0;
}

int CString::operator=(char* text) noexcept {
    AssignBytes(text, StrLen(text));
    return 0;
}

int CString::operator=(const char* text) noexcept {
    AssignBytes(text, StrLen(text));
    return static_cast<int>(length_);
}

int CString::operator=(int value) noexcept {
    const NumberText n = format(value);
    AssignBytes(n.text, n.size);
    return 0;
}

int CString::operator=(double value) noexcept {
    const NumberText n = format(value);
    AssignBytes(n.text, n.size);
    return 0;
}

char& CString::operator[](int i) noexcept {
    if (i >= 0 && static_cast<std::uint32_t>(i) < length_ && HasData()) return data_[i];
    nirvana = 0;
    return nirvana;
}

const char* CString::CompareText() const noexcept {
    return HasData() ? data_ : "";
}

bool CString::operator==(const char* text) const noexcept {
    return std::strcmp(CompareText(), text != nullptr ? text : "") == 0;
}
bool CString::operator==(const CString& other) const noexcept {
    return std::strcmp(CompareText(), other.CompareText()) == 0;
}
bool CString::operator!=(const CString& other) const noexcept {
    return !(*this == other);
}
bool CString::operator!=(const char* text) const noexcept {
    return !(*this == text);
}
bool CString::operator<(const CString& other) const noexcept {
    return std::strcmp(CompareText(), other.CompareText()) < 0;
}
bool CString::operator>(const CString& other) const noexcept {
    return std::strcmp(CompareText(), other.CompareText()) > 0;
}
bool CString::operator<=(const CString& other) const noexcept {
    return std::strcmp(CompareText(), other.CompareText()) <= 0;
}
bool CString::operator>=(const CString& other) const noexcept {
    return std::strcmp(CompareText(), other.CompareText()) >= 0;
}

char* CString::Joined(const char* addition, std::size_t size) const noexcept {
    if (size > kMaxLength - length_) return nullptr;
    char* buffer = AllocText(length_ + size);
    if (buffer == nullptr) return nullptr;
    if (HasData()) std::memcpy(buffer, data_, length_);
    if (size > 0) std::memcpy(buffer + length_, addition, size);
    return buffer;
}

void CString::Append(const char* addition, std::size_t size) noexcept {
    const std::size_t total = length_ + size;
    if (char* buffer = Joined(addition, size)) Adopt(buffer, total);
}

int CString::operator+=(const CString& other) noexcept {
    if (other.HasData()) Append(other.data_, other.length_);
    return 0;
}

int CString::operator+=(const char* text) noexcept {
    if (text != nullptr && *text != '\0') Append(text, std::strlen(text));
    return 0;
}

int CString::operator+=(char c) noexcept {
    Append(&c, 1);
    return 0;
}

int CString::operator+=(int value) noexcept {
    const NumberText n = format(value);
    Append(n.text, n.size);
    return 0;
}

int CString::operator+=(double value) noexcept {
    const NumberText n = format(value);
    Append(n.text, n.size);
    return 0;
}

int CString::operator-=(const char* text) noexcept {
    Replace(text, nullptr, 0, true);
    return 0;
}

int CString::operator-=(int n) noexcept {
    if (n < 1) return 0;
    if (static_cast<std::uint32_t>(n) >= length_) {
        Clear();
        return 0;
    }
    const std::size_t keep = length_ - static_cast<std::uint32_t>(n);
    if (char* buffer = AllocText(keep)) {
        std::memcpy(buffer, data_, keep);
        Adopt(buffer, keep);
    }
    return 0;
}

CString& CString::Result(char* buffer, std::size_t size) noexcept {
    // The buffer was built before tempstr's old text goes, so tempstr may be an operand.
    tempstr.Adopt(buffer, size);
    return tempstr;
}

CString& CString::operator+(const CString& other) noexcept {
    if (!other.HasData()) return *this;
    return Result(Joined(other.data_, other.length_), length_ + other.length_);
}

CString& CString::operator+(const char* text) noexcept {
    if (text == nullptr) return *this;
    const std::size_t size = std::strlen(text);
    return Result(Joined(text, size), length_ + size);
}

CString& CString::operator+(int value) noexcept {
    const NumberText n = format(value);
    return Result(Joined(n.text, n.size), length_ + n.size);
}

CString& CString::operator+(double value) noexcept {
    const NumberText n = format(value);
    return Result(Joined(n.text, n.size), length_ + n.size);
}

CString& CString::operator*(int n) noexcept {
    if (n < 2) return *this;
    const std::size_t times = static_cast<std::size_t>(n);
    if (!HasData() || length_ > kMaxLength / times) return Result(nullptr, 0);
    const std::size_t size = length_ * times;
    char* buffer = AllocText(size);
    if (buffer != nullptr) {
        for (std::size_t i = 0; i < times; ++i)
            std::memcpy(buffer + i * length_, data_, length_);
    }
    return Result(buffer, size);
}

CString& CString::operator-(int n) noexcept {
    if (n < 1) return *this;
    if (static_cast<std::uint32_t>(n) >= length_) return Result(nullptr, 0);
    const std::size_t keep = length_ - static_cast<std::uint32_t>(n);
    char* buffer = AllocText(keep);
    if (buffer != nullptr) std::memcpy(buffer, data_, keep);
    return Result(buffer, keep);
}

CString& CString::operator-(const char* text) noexcept {
    if (text == nullptr) return *this;
    CString rest(*this);
    rest.Replace(text, nullptr, 0, true);
    tempstr = std::move(rest);
    return tempstr;
}

int CString::operator>>(int n) {
    if (!HasData()) return 0;
    for (int i = 0; i < n; ++i)
        std::fwrite(data_, 1, length_, stdout);
    return 0;
}

int CString::operator<<(const char* path) {
    if (path == nullptr) return 0;
    Clear();
    struct stat info {};
    const int fd = openRegularFile(path, O_RDONLY, info);
    // Only a regular file below 4 GiB can be held; anything else cannot be loaded at all.
    if (fd < 0 || static_cast<unsigned long long>(info.st_size) > kMaxLength) {
        if (fd >= 0) ::close(fd);
        std::printf("\nERROR: File '%s' could not be opened for loading.", path);
        return 0;
    }
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        ::close(fd);
        return 0;
    }
    char* buffer = AllocText(size);
    const bool complete = buffer != nullptr && readExactly(fd, buffer, size);
    ::close(fd);
    if (!complete) {
        std::free(buffer);
        std::fputs("\nERROR: While reading file.", stdout);
        return 0;
    }
    Adopt(buffer, size);
    return static_cast<int>(length_);
}

int CString::operator>>(const char* path) {
    if (path == nullptr) return 0;
    if (!HasData()) {
        std::fputs("\nError: String object is empty.", stdout);
        return 0;
    }
    struct stat info {};
    const int fd = openRegularFile(path, O_WRONLY | O_CREAT, info);
    std::FILE* file = fd >= 0 && ::ftruncate(fd, 0) == 0 ? ::fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        if (fd >= 0) ::close(fd);
        std::printf("\nERROR: File '%s' could not be opened for saving.", path);
        return 0;
    }
    // fclose flushes the buffered data, so a full disk often shows only there.
    const bool written = std::fwrite(data_, 1, length_, file) == length_;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) std::fputs("\nERROR: While writing file.", stdout);
    return 0;
}

int CString::At(int i) const noexcept {
    if (i < 0 || static_cast<std::uint32_t>(i) >= length_ || !HasData()) return 0;
    return static_cast<signed char>(data_[i]);
}

int CString::First() const noexcept {
    return At(0);
}

int CString::Last() const noexcept {
    return length_ == 0 || length_ > INT_MAX ? 0 : At(static_cast<int>(length_) - 1);
}

int CString::Find(const char* text, int start) const noexcept {
    if (!HasData() || text == nullptr || *text == '\0') return -1;
    const std::size_t from = start < 0 ? 0u : static_cast<std::size_t>(start);
    const std::size_t at = std::string_view(data_, length_).find(text, from);
    return at == npos || at > INT_MAX ? -1 : static_cast<int>(at);
}

bool CString::Replace(const char* oldText, const char* newText, int start, bool all) noexcept {
    if (!HasData() || oldText == nullptr) return false;
    if (newText != nullptr && std::strcmp(newText, oldText) == 0) return false;
    const std::string_view text(data_, length_);
    const std::string_view from(oldText);
    const std::string_view to(newText != nullptr ? newText : "");
    const std::size_t first =
        from.empty() ? npos : text.find(from, start < 0 ? 0u : static_cast<std::size_t>(start));
    if (first == npos) return false;

    // Later occurrences are searched after the inserted text, that is in the rest of the
    // original, so one pass over the original finds them all.
    std::size_t matches = 0;
    for (std::size_t at = first; at != npos; at = all ? text.find(from, at + from.size()) : npos) {
        ++matches;
    }
    const std::size_t kept = text.size() - matches * from.size();
    if (to.size() > 0 && matches > (kMaxLength - kept) / to.size()) return false;
    const std::size_t size = kept + matches * to.size();
    if (size == 0) {
        Clear();
        return true;
    }
    char* buffer = AllocText(size);
    if (buffer == nullptr) return false;
    char* out = buffer;
    std::size_t copied = 0;
    for (std::size_t at = first; at != npos; at = all ? text.find(from, at + from.size()) : npos) {
        std::memcpy(out, text.data() + copied, at - copied);
        out += at - copied;
        std::memcpy(out, to.data(), to.size());
        out += to.size();
        copied = at + from.size();
    }
    std::memcpy(out, text.data() + copied, text.size() - copied);
    Adopt(buffer, size);
    return true;
}

bool CString::Insert(int pos, const char* text) noexcept {
    if (text == nullptr || *text == '\0' || pos < 0 || static_cast<std::uint32_t>(pos) >= length_)
        return false;
    const std::size_t at = static_cast<std::size_t>(pos);
    const std::size_t size = std::strlen(text);
    if (size > kMaxLength - length_) return false;
    char* buffer = AllocText(length_ + size);
    if (buffer == nullptr) return false;
    std::memcpy(buffer, data_, at);
    std::memcpy(buffer + at, text, size);
    std::memcpy(buffer + at + size, data_ + at, length_ - at);
    Adopt(buffer, length_ + size);
    return true;
}

const char* CString::SubStr(int start, int count) noexcept {
    if (!HasData() || count <= 0 || start < 0 || static_cast<std::uint32_t>(start) >= length_)
        return nullptr;
    const std::size_t from = static_cast<std::size_t>(start);
    const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(count), length_ - from);
    char* buffer = AllocText(size);
    if (buffer == nullptr) return nullptr;
    std::memcpy(buffer, data_ + from, size);
    return SetTemp(buffer);
}

int CString::Split(const char* separator, CStringList* list, int max, int start) noexcept {
    if (separator == nullptr || list == nullptr || !HasData()) return -1;
    if (start <= 0) {
        start = 0;
        list->Clear();
    }
    const std::string_view text(data_, length_);
    const std::string_view sep(separator);
    std::size_t from = static_cast<std::size_t>(start);
    while (from < text.size()) {
        const std::size_t at = sep.empty() ? npos : text.find(sep, from);
        const std::size_t end = at == npos ? text.size() : at;
        if (end > from) {
            char* piece = AllocText(end - from);
            if (piece != nullptr) std::memcpy(piece, text.data() + from, end - from);
            if (!list->Append(piece)) return -1;
            if (max >= 1 && list->Count() >= max) break;
        }
        if (at == npos) break;
        from = at + sep.size();
    }
    return list->Count();
}

void CString::Trim() noexcept {
    if (!HasData()) return;
    TrimLeft();
    TrimRight();
}

void CString::TrimLeft() noexcept {
    if (!HasData()) return;
    std::size_t skip = 0;
    while (skip < length_ && isBlank(data_[skip]))
        ++skip;
    if (skip == 0) return;
    if (skip == length_) {
        Clear();
        return;
    }
    if (char* buffer = AllocText(length_ - skip)) {
        std::memcpy(buffer, data_ + skip, length_ - skip);
        Adopt(buffer, length_ - skip);
    }
}

void CString::TrimRight() noexcept {
    if (!HasData()) return;
    std::size_t keep = length_;
    while (keep > 0 && isBlank(data_[keep - 1]))
        --keep;
    if (keep == length_) return;
    if (keep == 0) {
        Clear();
        return;
    }
    if (char* buffer = AllocText(keep)) {
        std::memcpy(buffer, data_, keep);
        Adopt(buffer, keep);
    }
}

void CString::Uppercase() noexcept {
    if (!HasData()) return;
    for (std::uint32_t i = 0; i < length_; ++i)
        if (isLower(data_[i])) data_[i] = static_cast<char>(data_[i] - 'a' + 'A');
}

void CString::Lowercase() noexcept {
    if (!HasData()) return;
    for (std::uint32_t i = 0; i < length_; ++i)
        if (isUpper(data_[i])) data_[i] = static_cast<char>(data_[i] - 'A' + 'a');
}

void CString::Revertcase() noexcept {
    if (!HasData()) return;
    for (std::uint32_t i = 0; i < length_; ++i) {
        if (isLower(data_[i]))
            data_[i] = static_cast<char>(data_[i] - 'a' + 'A');
        else if (isUpper(data_[i]))
            data_[i] = static_cast<char>(data_[i] - 'A' + 'a');
    }
}

int CString::Integer() const noexcept {
    return HasData() ? saturate(std::strtoll(data_, nullptr, 10)) : 0;
}

int CString::HexToInt() const noexcept {
    return HasData() ? saturate(std::strtoll(data_, nullptr, 16)) : 0;
}

float CString::Float() const noexcept {
    return HasData() ? std::strtof(data_, nullptr) : 0.0f;
}
double CString::Double() const noexcept {
    return HasData() ? std::strtod(data_, nullptr) : 0.0;
}
bool CString::ToBool() const noexcept {
    return HasData();
}

std::uint32_t* CString::Unicode() noexcept {
    if (!HasData()) return nullptr;
    auto* units = static_cast<std::uint32_t*>(CAlloc(Padding(length_), sizeof(std::uint32_t)));
    if (units == nullptr) return nullptr;
    for (std::uint32_t i = 0; i < length_; ++i)
        units[i] = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(static_cast<signed char>(data_[i])));
    std::free(wtemp);
    wtemp = units;
    return wtemp;
}

void CString::Decode() noexcept {}

void CString::Encode() noexcept {
    if (!HasData()) return;
    const char* hex = Hex2();
    if (hex == temp) AssignBytes(hex, std::size_t{2} * length_);
}

bool CString::IsASCII() const noexcept {
    for (std::uint32_t i = 0; i < length_ && data_[i] != '\0'; ++i)
        if (static_cast<unsigned char>(data_[i]) & 0x80u) return false;
    return true;
}

bool CString::IsKeyword() const noexcept {
    if (!HasData()) return true;
    if (isDigit(data_[0])) return false;
    for (std::uint32_t i = 0; i < length_; ++i) {
        const char c = data_[i];
        if (!isDigit(c) && !isUpper(c) && !isLower(c)) return false;
    }
    return true;
}

const char* CString::XML(int n) {
    if (!HasData()) return kUndefinedXML;
    return XmlElement(n, "<CString encoding='UTF8'>\n\t", data_, length_, "</CString>\n");
}

} // namespace Vesk
