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

// The same glyphs drawn at 24 and 32 pixels: the 16-pixel identifier plus
// these offsets. A button picks the largest that fits its DPI's 16 pixels.
#define VGWL_GLYPH_OFFSET_24 100
#define VGWL_GLYPH_OFFSET_32 200
#define IDB_GLYPH_PLAY_24 201
#define IDB_GLYPH_PLAY_DISABLED_24 202
#define IDB_GLYPH_PLUS_24 203
#define IDB_GLYPH_PLUS_DISABLED_24 204
#define IDB_GLYPH_DISK_24 205
#define IDB_GLYPH_DISK_DISABLED_24 206
#define IDB_GLYPH_CHECK_24 207
#define IDB_GLYPH_CHECK_DISABLED_24 208
#define IDB_GLYPH_PLAY_32 301
#define IDB_GLYPH_PLAY_DISABLED_32 302
#define IDB_GLYPH_PLUS_32 303
#define IDB_GLYPH_PLUS_DISABLED_32 304
#define IDB_GLYPH_DISK_32 305
#define IDB_GLYPH_DISK_DISABLED_32 306
#define IDB_GLYPH_CHECK_32 307
#define IDB_GLYPH_CHECK_DISABLED_32 308
