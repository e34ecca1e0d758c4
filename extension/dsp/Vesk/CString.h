// Vesk::CString: the in-house byte string, a CData holding a text. It adds assignment,
// comparison, concatenation and removal operators, search, replace, insert, split, trim and case
// operations, number conversions, a 32-bit widening, file load and save, and an XML form.
//
// Thread: one thread at a time. The binary operators +, * and - build their result in the shared
// CString::tempstr and return it, so a result stays valid only until the next such operator; the
// operands may themselves be tempstr (a + b + c). SubStr() and XML() return CData::temp,
// Unicode() returns CData::wtemp (see CData).
//
// Invariants: a string without text points at the marker "(null*)" with length 0; every buffer is
// zero-filled and Padding(length) bytes long, so the data always reads as a terminated text.
// Operations that replace the buffer build the new one first, so an argument may point into the
// string itself. An allocation failure leaves the string as it was (append, insert, replace,
// trim) or empty (assignment, construction, load).
//
// Printing: operator>>(int) and the file operations write to standard output directly; the error
// texts start with a newline and end without one.
#pragma once

#include <cstdint>

#include "Vesk/CData.h"

namespace Vesk {

class CStringList;

class CString : public CData {
public:
    CString() noexcept;
    explicit CString(const char* text) noexcept;
    CString(const CString& other) noexcept; // deep copy
    CString(CString&& other) noexcept;
    CString& operator=(CString&& other) noexcept;
    ~CString() override;

    void init() noexcept;
    // The text, or "(null*)" when there is none.
    const char* String() override;
    const char* c_str() const noexcept;
    int ClassCount() const noexcept override;
    // Empties the string, then for n above 0 holds n zero bytes (empty when that fails).
    void reassign(int n) noexcept;

    // Assignment. An absent or empty source leaves the string empty; self-assignment does nothing.
    virtual int operator=(const CString& other) noexcept; // returns 0
    virtual int operator=(char* text) noexcept;           // returns 0
    virtual int operator=(const char* text) noexcept;     // returns the new length
    virtual int operator=(int value) noexcept;            // "%d"; returns 0
    virtual int operator=(double value) noexcept;         // "%f"; returns 0

    // Byte i for 0 <= i < Length(); otherwise the shared byte nirvana, set to 0.
    virtual char& operator[](int i) noexcept;

    // Byte-wise comparisons of the terminated texts; an empty string and an absent text both
    // compare as "".
    virtual bool operator==(const char* text) const noexcept;
    virtual bool operator==(const CString& other) const noexcept;
    virtual bool operator!=(const CString& other) const noexcept;
    virtual bool operator!=(const char* text) const noexcept;
    virtual bool operator<(const CString& other) const noexcept;
    virtual bool operator>(const CString& other) const noexcept;
    virtual bool operator<=(const CString& other) const noexcept;
    virtual bool operator>=(const CString& other) const noexcept;

    // Appending; each returns 0.
    virtual int operator+=(const CString& other) noexcept;
    virtual int operator+=(const char* text) noexcept;
    virtual int operator+=(char c) noexcept;
    virtual int operator+=(int value) noexcept;    // "%d"
    virtual int operator+=(double value) noexcept; // "%f"

    // Removes every occurrence of the text; returns 0.
    virtual int operator-=(const char* text) noexcept;
    // Drops the last n bytes (all of them when n >= Length()); returns 0.
    virtual int operator-=(int n) noexcept;

    // Binary operators: the result is tempstr, or the string itself where stated.
    virtual CString& operator+(const CString& other) noexcept; // itself when other is empty
    virtual CString& operator+(const char* text) noexcept;     // itself when text is absent
    virtual CString& operator+(int value) noexcept;
    virtual CString& operator+(double value) noexcept;
    virtual CString& operator*(int n) noexcept; // the text n times; itself for n < 2
    virtual CString& operator-(int n) noexcept; // without the last n bytes; itself for n < 1
    virtual CString& operator-(const char* text) noexcept; // without the text; itself if absent

    // Writes the text n times to standard output; returns 0.
    virtual int operator>>(int n);
    // Loads the regular file at path, below 4 GiB (at most that much is read); returns the
    // length, 0 on any failure (the string is then empty and a message was printed). Anything but
    // a regular file (a named pipe, a device, a directory) is refused without blocking, as is a
    // larger file, before anything is read.
    virtual int operator<<(const char* path);
    // Saves the text over the regular file at path (made when missing); returns 0. Failures are
    // printed; anything but a regular file is refused without blocking and left untouched.
    virtual int operator>>(const char* path);

    // Byte i as a signed character for 0 <= i < Length(), else 0.
    virtual int At(int i) const noexcept;
    virtual int First() const noexcept;
    virtual int Last() const noexcept;
    // First position >= start (a negative start counts as 0) where text occurs, or -1.
    virtual int Find(const char* text, int start) const noexcept;
    // Replaces the first occurrence of oldText at or after start by newText (absent = remove),
    // or with all every later one too. False when nothing was replaced (empty string, absent
    // oldText, newText equal to oldText, no occurrence) or the new buffer could not be made, in
    // which case the string is unchanged. A result of no bytes empties the string.
    virtual bool Replace(const char* oldText, const char* newText, int start, bool all) noexcept;
    // Inserts text before byte pos for 0 <= pos < Length(); true when the string changed.
    virtual bool Insert(int pos, const char* text) noexcept;
    // Up to count bytes from start (0 <= start < Length(), count > 0) as a terminated text in
    // CData::temp; nothing otherwise.
    virtual const char* SubStr(int start, int count) noexcept;
    // Fills list with the non-empty pieces between separators from byte start on (a negative
    // start counts as 0; start 0 first empties the list), stopping once the list holds max pieces
    // when max >= 1. Returns the list's count, or -1 when the separator, the list or the text is
    // missing or a piece could not be stored.
    virtual int Split(const char* separator, CStringList* list, int max, int start) noexcept;
    virtual void Trim() noexcept;
    virtual void TrimLeft() noexcept;
    virtual void TrimRight() noexcept;
    virtual void Uppercase() noexcept;
    virtual void Lowercase() noexcept;
    virtual void Revertcase() noexcept;

    // Conversions; 0 for an empty string. Integers saturate at the limits of int.
    virtual int Integer() const noexcept;
    virtual int HexToInt() const noexcept;
    virtual float Float() const noexcept;
    virtual double Double() const noexcept;
    virtual bool ToBool() const noexcept; // true when there is text
    // Each byte widened as a signed 8-bit value into CData::wtemp; nothing for an empty string.
    virtual std::uint32_t* Unicode() noexcept;
    virtual void Decode() noexcept; // does nothing
    virtual void Encode() noexcept; // replaces the text by its Hex2() form
    virtual bool IsASCII() const noexcept;
    // Letters and digits only, not starting with a digit; true for an empty string.
    virtual bool IsKeyword() const noexcept;

    // The raw text in a <CString encoding='UTF8'> element indented by n tabs (negative n is 0).
    const char* XML(int n) override;

    static int count;       // live strings minus one
    static CString tempstr; // the binary operators' shared result
    static char nirvana;    // operator[]'s byte for an index out of range

private:
    // Copies size bytes of text into a new buffer, then drops the old one.
    void AssignBytes(const char* text, std::size_t size) noexcept;
    // The text followed by size bytes of addition, in a new buffer; nothing on failure.
    char* Joined(const char* addition, std::size_t size) const noexcept;
    void Append(const char* addition, std::size_t size) noexcept;
    const char* CompareText() const noexcept;
    static CString& Result(char* buffer, std::size_t size) noexcept;
};

} // namespace Vesk
