// The one font of the portable build, compiled into the module so that no font
// file has to exist where the module runs. TESSELIN_FONT_FILE names the file at
// build time.
#include <stddef.h>

#ifndef TESSELIN_FONT_FILE
#error "TESSELIN_FONT_FILE must name the TrueType file to embed"
#endif

__asm__(".pushsection .rodata\n"
        ".balign 16\n"
        ".hidden TesselinFontData\n"
        ".globl TesselinFontData\n"
        "TesselinFontData:\n"
        ".incbin \"" TESSELIN_FONT_FILE "\"\n"
        ".hidden TesselinFontDataEnd\n"
        ".globl TesselinFontDataEnd\n"
        "TesselinFontDataEnd:\n"
        ".popsection\n");
