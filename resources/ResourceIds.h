#pragma once
// Identifiers of the program's resources, shared by the resource script and
// the code. Icons and the splash picture are found by name.

#define VGWL_RES_SPLASH_TYPE "JPEG"
#define VGWL_RES_SPLASH_NAME "SPLASH"

#define IDB_GLYPH_PLAY 101
#define IDB_GLYPH_PLAY_DISABLED 102
#define IDB_GLYPH_PLUS 103
#define IDB_GLYPH_PLUS_DISABLED 104
#define IDB_GLYPH_DISK 105
#define IDB_GLYPH_DISK_DISABLED 106
#define IDB_GLYPH_CHECK 107
#define IDB_GLYPH_CHECK_DISABLED 108
#define IDB_LIST_SELECTION 109
