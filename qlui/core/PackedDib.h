#pragma once
#include <windows.h>

// A bitmap from a packed DIB (header, colour table or masks, pixels) of size
// bytes, as CF_DIB carries it. Accepts the 40-byte header and its V2 to V5
// successors, uncompressed or with bit-field masks; null for anything else or
// for a header that claims more pixels than the block holds.
HBITMAP BitmapFromPackedDib(HDC dc, const void* data, SIZE_T size);
