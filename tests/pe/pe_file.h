/* A small reader of 32-bit PE files (PE32): the headers, the section table,
 * the import directory and the resource tree.  Every read is checked
 * against the file's bounds, so a damaged file gives an error, never a
 * crash. */
#ifndef PE_FILE_H
#define PE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

/* Indexes into the optional header's data directories. */
enum {
    PE_DIR_IMPORT = 1,
    PE_DIR_RESOURCE = 2,
    PE_DIR_TLS = 9,
    PE_DIR_BOUND_IMPORT = 11,
    PE_DIR_IAT = 12,
    PE_DIR_DELAY_IMPORT = 13
};

/* Resource types. */
enum {
    PE_RT_ICON = 3,
    PE_RT_DIALOG = 5,
    PE_RT_GROUP_ICON = 14
};

struct PeDataDirectory {
    uint32_t rva;
    uint32_t size;
};

struct PeSection {
    std::string name;
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
    uint32_t characteristics;
};

struct PeFile {
    std::vector<uint8_t> bytes;
    uint32_t peOffset;              /* e_lfanew: where "PE\0\0" stands */

    /* COFF file header */
    uint16_t machine;
    uint16_t numberOfSections;
    uint16_t sizeOfOptionalHeader;
    uint16_t characteristics;

    /* Optional header (PE32) */
    uint16_t optionalMagic;
    uint32_t entryPoint;
    uint32_t imageBase;
    uint32_t sectionAlignment;
    uint32_t fileAlignment;
    uint16_t majorOsVersion, minorOsVersion;
    uint16_t majorSubsystemVersion, minorSubsystemVersion;
    uint32_t sizeOfImage;
    uint32_t sizeOfHeaders;
    uint16_t subsystem;
    uint16_t dllCharacteristics;
    std::vector<PeDataDirectory> directories;

    std::vector<PeSection> sections;
};

struct PeImportFunction {
    bool byOrdinal;
    uint16_t ordinal;               /* when byOrdinal */
    uint16_t hint;                  /* otherwise: hint and name */
    std::string name;
};

struct PeImportDll {
    std::string name;
    uint32_t timeDateStamp;         /* not 0 when the imports are bound */
    uint32_t forwarderChain;
    uint32_t firstThunk;            /* RVA of its part of the import address table */
    std::vector<PeImportFunction> functions;
};

/* A resource type, name or language: a number, or a string. */
struct PeResourceId {
    bool isName;
    uint16_t id;
    std::string name;               /* UTF-16 narrowed; other than ASCII as '?' */
};

struct PeResource {
    PeResourceId type;
    PeResourceId name;
    PeResourceId language;
    uint32_t dataRva;
    uint32_t codePage;
    std::vector<uint8_t> data;
};

/* Reads a whole file and parses its headers and section table. */
bool PeLoadFile(const std::string &path, PeFile *pe, std::string *error);
bool PeParse(const std::vector<uint8_t> &bytes, PeFile *pe, std::string *error);

/* Where the `size` bytes at `rva` lie in the file; false unless they lie
 * wholly within the headers or within one section's raw data. */
bool PeRvaToOffset(const PeFile &pe, uint32_t rva, uint32_t size, uint32_t *offset);

/* The data directory `index`, or zeros when the header has none there. */
PeDataDirectory PeDirectory(const PeFile &pe, int index);

bool PeReadImports(const PeFile &pe, std::vector<PeImportDll> *dlls, std::string *error);
bool PeReadResources(const PeFile &pe, std::vector<PeResource> *resources, std::string *error);

/* The resource with these numeric type, name and language, or null. */
const PeResource *PeFindResource(const std::vector<PeResource> &resources,
                                 uint16_t type, uint16_t name, uint16_t language);

/* "5", or "\"NAME\"" for a named entry. */
std::string PeResourceIdText(const PeResourceId &id);

#endif
