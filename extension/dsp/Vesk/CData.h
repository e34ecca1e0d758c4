// Vesk::CData: a byte buffer with a class name, a length and text forms (hexadecimal in several
// layouts, an RGB colour, an XML element). Vesk::CString builds on it.
//
// Thread: one thread at a time. The text forms return the class-wide buffer CData::temp, which is
// shared by every object and not guarded; a returned text stays valid only until the next call of
// any text form on any object.
//
// Ownership: an object owns its data buffer (calloc'd, zero-filled, Padding(length) bytes, so a
// terminator always follows the data). An object without data points at the constant marker
// "(null*)" and has length 0; the marker is never written or released. Copies are deep; a moved-
// from object is empty.
//
// Sizes: lengths are 32-bit, and every size is computed in size_t with overflow checks. A result
// longer than kMaxLength counts as an allocation failure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Vesk {

// Upper-case hexadecimal pairs of the byte values 0 to 255 without separators or terminator:
// the pair for byte b starts at character 2 * b.
extern const std::array<char, 512> hextable;

// The one marker object for "no data"; compared by address, so it must be a single object.
extern const char kNullMarker[];

// The text the XML forms return for an object without data.
extern const char kUndefinedXML[];

class CData {
public:
    // Longest data the classes hold; Padding() of it still fits in 32 bits.
    static constexpr std::size_t kMaxLength = 0xFFFFFFFFu - 8u;

    CData() noexcept;
    CData(const CData& other) noexcept; // deep copy; empty when the allocation fails
    CData(CData&& other) noexcept;
    CData& operator=(const CData& other) noexcept;
    CData& operator=(CData&& other) noexcept;
    // Releases the own buffer; the last object to go also frees temp, wtemp and err.
    virtual ~CData();

    virtual const char* ClassName() const noexcept;
    // Live objects minus one (the counter starts at -1).
    virtual int ClassCount() const noexcept;
    virtual std::uint32_t Length() const noexcept;
    virtual bool Empty() const noexcept;
    virtual std::uint32_t DataSize() const noexcept;   // Padding(Length())
    virtual std::uint32_t ObjectSize() const noexcept; // always 32
    virtual const char* String();                      // Hex5(), through the virtual table

    // Text forms, all written into CData::temp (see above). For length 0 each returns its constant
    // empty text; when the buffer cannot be allocated, "(out of memory)".
    virtual const char* Hex2();     // "0AFF"
    virtual const char* ColorRGB(); // "#0AFF"
    virtual const char* Hex3();     // "0A FF"
    virtual const char* Hex4();     // "#0A #FF"
    virtual const char* Hex5();     // "0x0A 0xFF"
    // The Hex5() text in a <CData encoding='HEX5'> element indented by n tabs (a negative n is 0).
    virtual const char* XML(int n);

    // 0 for n below 1; else the smallest multiple of 4 that is at least n + 1. 0 when that would
    // not fit in 32 bits.
    static std::size_t Padding(std::size_t n) noexcept;
    // Zero-filled count * size bytes, released with std::free; nothing when count or size is 0,
    // the product overflows, or the allocation fails.
    static void* CAlloc(std::size_t count, std::size_t size) noexcept;
    // Bytes before the terminator; 0 for an absent text.
    static std::uint32_t StrLen(const char* text) noexcept;

    // Releases the own buffer and leaves the object empty (at the marker, length 0).
    void Clear() noexcept;

    static int count;            // live objects minus one
    static char* temp;           // the text forms' shared result
    static std::uint32_t* wtemp; // CString::Unicode()'s shared result
    static char* err;            // reserved; nothing fills it

protected:
    // A zero-filled buffer of Padding(length) bytes; nothing for length 0 or above kMaxLength.
    static char* AllocText(std::size_t length) noexcept;
    // Makes buffer (from AllocText, or nothing) the data, releasing the old buffer afterwards, so
    // the new content may have been built from the old. Nothing or length 0 empties the object.
    void Adopt(char* buffer, std::size_t length) noexcept;
    // Replaces CData::temp by buffer (freeing the previous one) and returns it.
    static char* SetTemp(char* buffer) noexcept;
    // Writes into a new CData::temp, each line indented by n tabs (negative n is 0): open, body,
    // a newline, close. kUndefinedXML when the buffer cannot be made.
    static const char* XmlElement(int n, const char* open, const char* body, std::size_t bodyLength,
                                  const char* close) noexcept;
    bool HasData() const noexcept { return length_ > 0 && data_ != kNullMarker; }

    const char* className_ = "CData";
    char* data_;
    std::uint32_t length_ = 0;

private:
    // Writes pairs with the given prefix and separator; see the text forms.
    const char* HexForm(const char* emptyText, std::size_t k, const char* lead,
                        const char* pairPrefix, bool separated);
    void CopyFrom(const CData& other) noexcept;
    void TakeFrom(CData& other) noexcept;
};

} // namespace Vesk
