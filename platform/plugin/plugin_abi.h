/*
 * The binary interface between the application and its plug-in libraries. Plain C, so a
 * plug-in may be written in any language that can export a C function.
 *
 * A plug-in is a shared library whose file name ends in ".ftplugin.so", placed in the
 * application's own folder. It exports one function, ft_plugin_entries, which returns its table
 * of routines, each keyed by the full text of the declaration it implements, for example
 * "MD5(data As String) As String" or "QTVideoTrack.CompressionType.Set".
 *
 * Every routine has the same signature. It reads its arguments from call->args, writes its
 * result (if any) to call->result and returns 0; on failure it writes a zero-terminated message
 * to call->error and returns non-zero.
 *
 * Conventions:
 *  - A method or property accessor of a plug-in class gets its object as args[0], a handle;
 *    a setter gets the new value as args[1]. A class's "__exit" routine gets the handle of the
 *    object to release.
 *  - Texts are UTF-8 and not necessarily zero-terminated; size counts bytes.
 *  - Strings, images and handles passed in args belong to the caller and are valid only during
 *    the call. A string or image the routine returns in result must stay valid until the next
 *    call of any routine of the same library; the application copies it before then.
 *  - Image pixels are 8-bit B, G, R, A in that order, rows top to bottom, bytes_per_row apart,
 *    unless the image's layout says otherwise (see ft_image_layout).
 *  - The table and the declaration texts stay valid while the library is loaded; the
 *    application never unloads a plug-in.
 */
#ifndef FRAMETIDE_PLUGIN_ABI_H
#define FRAMETIDE_PLUGIN_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FT_PLUGIN_ENTRIES_SYMBOL "ft_plugin_entries"
#define FT_PLUGIN_FILE_SUFFIX ".ftplugin.so"
#define FT_PLUGIN_ERROR_SIZE 256

typedef enum ft_value_kind {
  FT_VALUE_NONE = 0,
  FT_VALUE_INT32 = 1,
  FT_VALUE_DOUBLE = 2,
  FT_VALUE_STRING = 3,
  FT_VALUE_HANDLE = 4,
  FT_VALUE_IMAGE = 5
} ft_value_kind;

typedef struct ft_string {
  const char* data;
  size_t size;
} ft_string;

typedef enum ft_image_layout {
  FT_IMAGE_BGRA = 0,
  /* A JPEG's samples as stored: full-range Y (BT.601) in pixels, bytes_per_row apart; Cb and Cr
     at half the width and height (rounded up), chroma_bytes_per_row apart. A plug-in that cannot
     read a layout fails the call. */
  FT_IMAGE_YCBCR_420 = 1
} ft_image_layout;

typedef struct ft_image {
  int32_t width;
  int32_t height;
  int32_t bytes_per_row;
  const uint8_t* pixels; /* BGRA, or Y */
  int32_t layout;        /* ft_image_layout; 0 when left out */
  int32_t chroma_bytes_per_row;
  const uint8_t* cb;
  const uint8_t* cr;
} ft_image;

typedef struct ft_value {
  ft_value_kind kind;
  union {
    int32_t int32;
    double real;
    ft_string string;
    void* handle;
    ft_image image;
  } as;
} ft_value;

typedef struct ft_plugin_call {
  const char* declaration; /* the declaration the routine was bound to */
  const ft_value* args;
  size_t arg_count;
  ft_value result;                  /* FT_VALUE_NONE on entry */
  char error[FT_PLUGIN_ERROR_SIZE]; /* empty on entry */
} ft_plugin_call;

typedef int (*ft_plugin_routine)(ft_plugin_call* call);

typedef struct ft_plugin_entry {
  const char* declaration;
  ft_plugin_routine routine;
} ft_plugin_entry;

/* The one function a plug-in exports: its table of *count entries. */
typedef const ft_plugin_entry* (*ft_plugin_entries_function)(size_t* count);

#if defined(__GNUC__)
__attribute__((visibility("default")))
#endif
const ft_plugin_entry* ft_plugin_entries(size_t* count);

#ifdef __cplusplus
}
#endif

#endif /* FRAMETIDE_PLUGIN_ABI_H */
