/* Layout of setup.exe: three sections, so that the headers fit in one
 * 512-byte block and the file stays small.
 *   .text  code and constants, read-only;
 *   .data  the import tables, which the loader writes into, and the
 *          launcher's record;
 *   .rsrc  the menu dialog and the icon. */
OUTPUT_FORMAT(pei-i386)
/* The entry point: the start-up in startup.cpp, named here alone. */
ENTRY(_WinMainCRTStartup)

SECTIONS
{
    .text __image_base__ + __section_alignment__ :
    {
        *(.text) *(.text$*) *(.text.*)
        *(.rdata) *(.rdata$*) *(.rodata) *(.rodata.*)
    }

    .data ALIGN(__section_alignment__) :
    {
        /* Import descriptors, then the all-zero one that ends them, the
         * lookup tables, the address table, the hint/name table and the
         * DLL names.  The linker finds the import and address-table
         * directories through the symbols named after the parts, which
         * hold addresses relative to the image base. */
        ".idata$2" = ABSOLUTE(.) - __image_base__;
        SORT(*)(.idata$2)
        SORT(*)(.idata$3)
        LONG(0); LONG(0); LONG(0); LONG(0); LONG(0);
        ".idata$4" = ABSOLUTE(.) - __image_base__;
        SORT(*)(.idata$4)
        ".idata$5" = ABSOLUTE(.) - __image_base__;
        SORT(*)(.idata$5)
        ".idata$6" = ABSOLUTE(.) - __image_base__;
        SORT(*)(.idata$6)
        SORT(*)(.idata$7)
        *(.data) *(.data$*) *(.bss) *(.bss$*) *(COMMON)
    }

    .rsrc ALIGN(__section_alignment__) :
    {
        *(.rsrc) *(.rsrc$*)
    }

    /DISCARD/ :
    {
        *(.debug*) *(.zdebug*) *(.comment) *(.note*) *(.eh_frame*) *(.gcc_except_table*)
        *(.CRT*) *(.tls*) *(.reloc) *(.drectve) *(.edata)
    }
}
