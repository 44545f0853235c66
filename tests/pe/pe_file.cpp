/* The PE reader: headers, sections, imports, resources. */
#include "pe_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

static const uint32_t DOS_HEADER_SIZE = 64;
static const uint32_t COFF_HEADER_SIZE = 20;
static const uint32_t PE32_FIXED_SIZE = 96;     /* optional header up to the directories */
static const uint32_t SECTION_HEADER_SIZE = 40;
static const uint32_t IMPORT_DESCRIPTOR_SIZE = 20;
static const uint32_t RESOURCE_DIRECTORY_SIZE = 16;
static const uint32_t RESOURCE_ENTRY_SIZE = 8;
static const uint32_t RESOURCE_DATA_ENTRY_SIZE = 16;
static const uint32_t HIGH_BIT = 0x80000000u;

static std::string Hex(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%X", value);
    return text;
}

static bool Fail(std::string *error, const std::string &why)
{
    *error = why;
    return false;
}

/* Little-endian reads; the caller has checked the bounds. */
static uint16_t Word(const std::vector<uint8_t> &b, uint32_t at)
{
    return (uint16_t)(b[at] | b[at + 1] << 8);
}

static uint32_t Dword(const std::vector<uint8_t> &b, uint32_t at)
{
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
           (uint32_t)b[at + 3] << 24;
}

static bool InFile(const std::vector<uint8_t> &b, uint64_t at, uint64_t size)
{
    return at <= b.size() && size <= b.size() - at;
}

bool PeLoadFile(const std::string &path, PeFile *pe, std::string *error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Fail(error, "cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!PeParse(bytes, pe, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool PeParse(const std::vector<uint8_t> &bytes, PeFile *pe, std::string *error)
{
    *pe = PeFile();
    pe->bytes = bytes;
    const std::vector<uint8_t> &b = pe->bytes;

    if (!InFile(b, 0, DOS_HEADER_SIZE) || b[0] != 'M' || b[1] != 'Z')
        return Fail(error, "no MZ header");
    pe->peOffset = Dword(b, 0x3C);
    uint32_t coff = pe->peOffset + 4;
    if (!InFile(b, pe->peOffset, 4 + COFF_HEADER_SIZE))
        return Fail(error, "PE header offset " + Hex(pe->peOffset) + " lies outside the file");
    if (b[pe->peOffset] != 'P' || b[pe->peOffset + 1] != 'E' || b[pe->peOffset + 2] != 0 ||
        b[pe->peOffset + 3] != 0)
        return Fail(error, "no PE signature at " + Hex(pe->peOffset));

    pe->machine = Word(b, coff);
    pe->numberOfSections = Word(b, coff + 2);
    pe->sizeOfOptionalHeader = Word(b, coff + 16);
    pe->characteristics = Word(b, coff + 18);

    uint32_t opt = coff + COFF_HEADER_SIZE;
    if (pe->sizeOfOptionalHeader < 2 || !InFile(b, opt, pe->sizeOfOptionalHeader))
        return Fail(error, "optional header missing or cut short");
    pe->optionalMagic = Word(b, opt);
    if (pe->optionalMagic != 0x10B)
        return Fail(error, "optional header magic " + Hex(pe->optionalMagic) + ", not PE32 (0x10B)");
    if (pe->sizeOfOptionalHeader < PE32_FIXED_SIZE)
        return Fail(error, "PE32 optional header of only " + std::to_string(pe->sizeOfOptionalHeader) + " bytes");

    pe->entryPoint = Dword(b, opt + 16);
    pe->imageBase = Dword(b, opt + 28);
    pe->sectionAlignment = Dword(b, opt + 32);
    pe->fileAlignment = Dword(b, opt + 36);
    pe->majorOsVersion = Word(b, opt + 40);
    pe->minorOsVersion = Word(b, opt + 42);
    pe->majorSubsystemVersion = Word(b, opt + 48);
    pe->minorSubsystemVersion = Word(b, opt + 50);
    pe->sizeOfImage = Dword(b, opt + 56);
    pe->sizeOfHeaders = Dword(b, opt + 60);
    pe->subsystem = Word(b, opt + 68);
    pe->dllCharacteristics = Word(b, opt + 70);

    uint32_t count = Dword(b, opt + 92);
    if (count > (pe->sizeOfOptionalHeader - PE32_FIXED_SIZE) / 8)
        return Fail(error, std::to_string(count) + " data directories do not fit the optional header");
    for (uint32_t i = 0; i < count; i++) {
        uint32_t at = opt + PE32_FIXED_SIZE + i * 8;
        pe->directories.push_back(PeDataDirectory{Dword(b, at), Dword(b, at + 4)});
    }

    uint32_t table = opt + pe->sizeOfOptionalHeader;
    if (!InFile(b, table, (uint64_t)pe->numberOfSections * SECTION_HEADER_SIZE))
        return Fail(error, "section table cut short");
    for (uint32_t i = 0; i < pe->numberOfSections; i++) {
        uint32_t at = table + i * SECTION_HEADER_SIZE;
        PeSection s;
        for (uint32_t c = 0; c < 8 && b[at + c]; c++)
            s.name += (char)b[at + c];
        s.virtualSize = Dword(b, at + 8);
        s.virtualAddress = Dword(b, at + 12);
        s.rawSize = Dword(b, at + 16);
        s.rawOffset = Dword(b, at + 20);
        s.characteristics = Dword(b, at + 36);
        if (!InFile(b, s.rawOffset, s.rawSize))
            return Fail(error, "raw data of section " + s.name + " lies outside the file");
        pe->sections.push_back(s);
    }
    return true;
}

bool PeRvaToOffset(const PeFile &pe, uint32_t rva, uint32_t size, uint32_t *offset)
{
    uint64_t end = (uint64_t)rva + size;
    if (end <= pe.sizeOfHeaders && InFile(pe.bytes, rva, size)) {
        *offset = rva;
        return true;
    }
    for (const PeSection &s : pe.sections) {
        /* Only what the file holds: the tail of a section beyond its raw
         * data is zero-filled memory, not bytes of the file. */
        uint64_t mapped = s.virtualSize ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
        if (rva >= s.virtualAddress && end <= s.virtualAddress + mapped) {
            *offset = s.rawOffset + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

PeDataDirectory PeDirectory(const PeFile &pe, int index)
{
    if (index < 0 || (size_t)index >= pe.directories.size())
        return PeDataDirectory{0, 0};
    return pe.directories[index];
}

/* The NUL-terminated string at `rva`, which must end within the same
 * stretch of the file. */
static bool ReadString(const PeFile &pe, uint32_t rva, std::string *text)
{
    uint32_t at;
    if (!PeRvaToOffset(pe, rva, 1, &at))
        return false;
    text->clear();
    for (uint32_t n = 0;; n++) {
        uint32_t here;
        if (!PeRvaToOffset(pe, rva + n, 1, &here))
            return false;
        if (pe.bytes[here] == 0)
            return true;
        *text += (char)pe.bytes[here];
    }
}

static bool ReadDword(const PeFile &pe, uint32_t rva, uint32_t *value)
{
    uint32_t at;
    if (!PeRvaToOffset(pe, rva, 4, &at))
        return false;
    *value = Dword(pe.bytes, at);
    return true;
}

bool PeReadImports(const PeFile &pe, std::vector<PeImportDll> *dlls, std::string *error)
{
    dlls->clear();
    PeDataDirectory dir = PeDirectory(pe, PE_DIR_IMPORT);
    if (dir.rva == 0)
        return true;
    for (uint32_t rva = dir.rva;; rva += IMPORT_DESCRIPTOR_SIZE) {
        uint32_t at;
        if (!PeRvaToOffset(pe, rva, IMPORT_DESCRIPTOR_SIZE, &at))
            return Fail(error, "import descriptor at RVA " + Hex(rva) + " lies outside the file");
        uint32_t lookup = Dword(pe.bytes, at);
        uint32_t nameRva = Dword(pe.bytes, at + 12);
        uint32_t firstThunk = Dword(pe.bytes, at + 16);
        if (lookup == 0 && nameRva == 0 && firstThunk == 0)
            return true;

        PeImportDll dll;
        dll.timeDateStamp = Dword(pe.bytes, at + 4);
        dll.forwarderChain = Dword(pe.bytes, at + 8);
        dll.firstThunk = firstThunk;
        if (!ReadString(pe, nameRva, &dll.name))
            return Fail(error, "DLL name at RVA " + Hex(nameRva) + " unreadable");

        /* The lookup table, or the address table when a linker left the
         * lookup table out. */
        uint32_t thunk = lookup ? lookup : firstThunk;
        for (;; thunk += 4) {
            uint32_t entry;
            if (!ReadDword(pe, thunk, &entry))
                return Fail(error, dll.name + ": import thunk at RVA " + Hex(thunk) + " unreadable");
            if (entry == 0)
                break;
            PeImportFunction f = PeImportFunction();
            if (entry & HIGH_BIT) {
                f.byOrdinal = true;
                f.ordinal = (uint16_t)entry;
            } else {
                uint32_t hintAt;
                if (!PeRvaToOffset(pe, entry, 2, &hintAt) || !ReadString(pe, entry + 2, &f.name))
                    return Fail(error, dll.name + ": hint/name at RVA " + Hex(entry) + " unreadable");
                f.hint = Word(pe.bytes, hintAt);
            }
            dll.functions.push_back(f);
        }
        dlls->push_back(dll);
    }
}

/* A type, name or language entry's identifier; a string is a length WORD
 * and UTF-16 units at an offset from the resource directory. */
static bool ReadResourceId(const PeFile &pe, uint32_t base, uint32_t field, PeResourceId *id, std::string *error)
{
    *id = PeResourceId();
    if (!(field & HIGH_BIT)) {
        id->id = (uint16_t)field;
        return true;
    }
    id->isName = true;
    uint32_t rva = base + (field & ~HIGH_BIT), at;
    if (!PeRvaToOffset(pe, rva, 2, &at))
        return Fail(error, "resource name at RVA " + Hex(rva) + " unreadable");
    uint32_t length = Word(pe.bytes, at);
    if (!PeRvaToOffset(pe, rva + 2, length * 2, &at))
        return Fail(error, "resource name at RVA " + Hex(rva) + " cut short");
    for (uint32_t i = 0; i < length; i++) {
        uint16_t unit = Word(pe.bytes, at + i * 2);
        id->name += unit < 0x80 ? (char)unit : '?';
    }
    return true;
}

/* One directory of the tree: level 0 types, 1 names, 2 languages, whose
 * entries lead to data entries. */
static bool ReadResourceLevel(const PeFile &pe, uint32_t base, uint32_t dirRva, int level, PeResource *path,
                              std::vector<PeResource> *resources, std::string *error)
{
    uint32_t at;
    if (!PeRvaToOffset(pe, dirRva, RESOURCE_DIRECTORY_SIZE, &at))
        return Fail(error, "resource directory at RVA " + Hex(dirRva) + " unreadable");
    uint32_t entries = (uint32_t)Word(pe.bytes, at + 12) + Word(pe.bytes, at + 14);
    for (uint32_t i = 0; i < entries; i++) {
        uint32_t entryRva = dirRva + RESOURCE_DIRECTORY_SIZE + i * RESOURCE_ENTRY_SIZE;
        if (!PeRvaToOffset(pe, entryRva, RESOURCE_ENTRY_SIZE, &at))
            return Fail(error, "resource entry at RVA " + Hex(entryRva) + " unreadable");
        uint32_t idField = Dword(pe.bytes, at), target = Dword(pe.bytes, at + 4);
        PeResourceId *id = level == 0 ? &path->type : level == 1 ? &path->name : &path->language;
        if (!ReadResourceId(pe, base, idField, id, error))
            return false;

        bool isDirectory = (target & HIGH_BIT) != 0;
        uint32_t targetRva = base + (target & ~HIGH_BIT);
        if (level < 2) {
            if (!isDirectory)
                return Fail(error, "resource entry at RVA " + Hex(entryRva) + " should lead to a directory");
            if (!ReadResourceLevel(pe, base, targetRva, level + 1, path, resources, error))
                return false;
            continue;
        }
        if (isDirectory)
            return Fail(error, "resource tree deeper than type/name/language at RVA " + Hex(entryRva));
        if (!PeRvaToOffset(pe, targetRva, RESOURCE_DATA_ENTRY_SIZE, &at))
            return Fail(error, "resource data entry at RVA " + Hex(targetRva) + " unreadable");
        PeResource r = *path;
        r.dataRva = Dword(pe.bytes, at);
        uint32_t size = Dword(pe.bytes, at + 4);
        r.codePage = Dword(pe.bytes, at + 8);
        uint32_t dataAt;
        if (!PeRvaToOffset(pe, r.dataRva, size, &dataAt))
            return Fail(error, "resource data at RVA " + Hex(r.dataRva) + " (" + std::to_string(size) +
                                   " bytes) lies outside the file");
        r.data.assign(pe.bytes.begin() + dataAt, pe.bytes.begin() + dataAt + size);
        resources->push_back(r);
    }
    return true;
}

bool PeReadResources(const PeFile &pe, std::vector<PeResource> *resources, std::string *error)
{
    resources->clear();
    PeDataDirectory dir = PeDirectory(pe, PE_DIR_RESOURCE);
    if (dir.rva == 0)
        return true;
    PeResource path = PeResource();
    return ReadResourceLevel(pe, dir.rva, dir.rva, 0, &path, resources, error);
}

const PeResource *PeFindResource(const std::vector<PeResource> &resources, uint16_t type, uint16_t name,
                                 uint16_t language)
{
    for (const PeResource &r : resources) {
        if (!r.type.isName && r.type.id == type && !r.name.isName && r.name.id == name &&
            !r.language.isName && r.language.id == language)
            return &r;
    }
    return nullptr;
}

std::string PeResourceIdText(const PeResourceId &id)
{
    return id.isName ? "\"" + id.name + "\"" : std::to_string(id.id);
}
