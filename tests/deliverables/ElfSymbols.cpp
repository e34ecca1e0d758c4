#include "ElfSymbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace elftest {

namespace {

using Bytes = std::string_view;

template <typename T> T read(Bytes bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        throw std::runtime_error("ELF data out of range");
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::string text(Bytes strings, std::uint32_t offset) {
    if (offset >= strings.size()) throw std::runtime_error("ELF name out of range");
    const Bytes rest = strings.substr(offset);
    return std::string(rest.substr(0, rest.find('\0')));
}

void readElf(Bytes elf, Table table, std::vector<Symbol>& out) {
    if (elf.size() < SELFMAG || std::memcmp(elf.data(), ELFMAG, SELFMAG) != 0 ||
        elf[EI_CLASS] != ELFCLASS64)
        throw std::runtime_error("not a 64-bit ELF file");
    const auto header = read<Elf64_Ehdr>(elf, 0);
    const auto section = [&](std::uint64_t i) {
        return read<Elf64_Shdr>(elf, header.e_shoff + i * header.e_shentsize);
    };
    const std::uint32_t wanted = table == Table::full ? SHT_SYMTAB : SHT_DYNSYM;
    for (std::uint64_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symtab = section(i);
        if (symtab.sh_type != wanted) continue;
        const Elf64_Shdr strtab = section(symtab.sh_link);
        if (strtab.sh_offset > elf.size()) throw std::runtime_error("ELF strings out of range");
        const Bytes strings = elf.substr(strtab.sh_offset, strtab.sh_size);
        std::string file;
        for (std::uint64_t at = sizeof(Elf64_Sym); at + sizeof(Elf64_Sym) <= symtab.sh_size;
             at += sizeof(Elf64_Sym)) {
            const auto sym = read<Elf64_Sym>(elf, symtab.sh_offset + at);
            const unsigned bind = ELF64_ST_BIND(sym.st_info);
            if (ELF64_ST_TYPE(sym.st_info) == STT_FILE) {
                file = text(strings, sym.st_name);
                continue;
            }
            Symbol s;
            s.name = text(strings, sym.st_name);
            s.local = bind == STB_LOCAL;
            s.file = s.local ? file : std::string();
            s.weak = bind == STB_WEAK || bind == STB_GNU_UNIQUE;
            s.defined = sym.st_shndx != SHN_UNDEF;
            s.value = sym.st_value;
            out.push_back(std::move(s));
        }
    }
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    if (!in || !in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

} // namespace

std::vector<Symbol> symbols(const std::string& path, Table table) {
    const std::string bytes = contents(path);
    std::vector<Symbol> out;
    readElf(bytes, table, out);
    return out;
}

std::vector<Symbol> archiveSymbols(const std::string& path) {
    const std::string bytes = contents(path);
    const Bytes archive(bytes);
    constexpr Bytes kMagic = "!<arch>\n";
    constexpr std::size_t kHeader = 60; // name 16, dates and ids 32, size 10, end marker 2
    if (!archive.starts_with(kMagic)) throw std::runtime_error(path + " is no archive");
    std::vector<Symbol> out;
    for (std::size_t at = kMagic.size(); at + kHeader <= archive.size();) {
        const Bytes name = archive.substr(at, 16);
        const std::size_t size = std::stoul(std::string(archive.substr(at + 48, 10)));
        const Bytes member = archive.substr(at + kHeader, size);
        // "/" and "/SYM64/" are the archive's own index, "//" its table of long names; the rest
        // are objects.
        const bool object =
            !name.starts_with("/ ") && !name.starts_with("// ") && !name.starts_with("/SYM64/");
        if (object) readElf(member, Table::full, out);
        at += kHeader + size + size % 2;
    }
    return out;
}

} // namespace elftest
