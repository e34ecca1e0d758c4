// The symbols of built binaries, read straight from their ELF tables (64-bit, little-endian), so a
// test can tell what a deliverable holds and what it offers other modules: the full table of an
// executable or module (its local symbols too, each with the source file it came from), its
// dynamic table, or the tables of every member of a static archive. Throws std::runtime_error on
// a file it cannot read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace elftest {

struct Symbol {
    std::string name;   // as stored (mangled)
    std::string file;   // for a local symbol, the source file named before it; else empty
    bool local = false; // binding STB_LOCAL
    bool weak = false;  // binding STB_WEAK or STB_GNU_UNIQUE
    bool defined = false;
    std::uint64_t value = 0; // the address in the file's own layout
};

enum class Table { full, dynamic };

std::vector<Symbol> symbols(const std::string& path, Table table);

// The full tables of every ELF member of the archive, one after another.
std::vector<Symbol> archiveSymbols(const std::string& path);

} // namespace elftest
