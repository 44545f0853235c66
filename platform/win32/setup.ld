/* Layout of setup.exe: three sections, so that the headers fit in one
 * 512-byte block and the file stays small.
 *   .text  code, constants and the import tables (the loader fills the
 *          address table itself, so it need not be writable);
 *   .bss   the launcher's record, which takes no room in the file;
 *   .rsrc  the menu dialog and the icon. */
OUTPUT_FORMAT(pei-i386)
ENTRY(_WinMainCRTStartup)

SECTIONS
{
    .text __image_base__ + __section_alignment__ :
    {
        *(.text) *(.text$*) *(.text.*)
        *(.rdata) *(.rdata$*) *(.rodata) *(.rodata.*)
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
    }

    .bss ALIGN(__section_alignment__) :
    {
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
