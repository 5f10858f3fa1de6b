/*
 * A stand-in plug-in for the binding tests, built twice: as "echo" and, with
 * ECHO_PLUGIN_SHADOW, as "shadow". Both supply MD5 (as a fake that tags its input) so the tests
 * can see which library wins; each also supplies declarations the other lacks.
 */
#include <stdio.h>
#include <string.h>

#include "platform/plugin/plugin_abi.h"

#ifdef ECHO_PLUGIN_SHADOW
#define TAG "shadow:"
#else
#define TAG "md5:"
#endif

static char result_text[512];
static int table_requests = 0;

static int fail(ft_plugin_call* call, const char* message) {
  snprintf(call->error, sizeof call->error, "%s", message);
  return 1;
}

static int fake_md5(ft_plugin_call* call) {
  if (call->arg_count != 1 || call->args[0].kind != FT_VALUE_STRING)
    return fail(call, "MD5 takes one String");
  const ft_string in = call->args[0].as.string;
  const size_t tag = strlen(TAG);
  if (in.size > sizeof result_text - tag) return fail(call, "MD5 input too long for the fake");
  memcpy(result_text, TAG, tag);
  if (in.size) memcpy(result_text + tag, in.data, in.size);
  call->result.kind = FT_VALUE_STRING;
  call->result.as.string.data = result_text;
  call->result.as.string.size = tag + in.size;
  return 0;
}

static int table_request_count(ft_plugin_call* call) {
  call->result.kind = FT_VALUE_INT32;
  call->result.as.int32 = table_requests;
  return 0;
}

#ifdef ECHO_PLUGIN_SHADOW

static int track_exit(ft_plugin_call* call) {
  if (call->arg_count != 1 || call->args[0].kind != FT_VALUE_HANDLE)
    return fail(call, "__exit takes the object's handle");
  call->result.kind = FT_VALUE_INT32;
  call->result.as.int32 = 65;
  return 0;
}

static const ft_plugin_entry entries[] = {
    {"MD5(data As String) As String", fake_md5},
    {"QTVideoTrack.__exit", track_exit},
    {"Shadow.TableRequests", table_request_count},
};

#else

static int movie_object;

static int create_movie(ft_plugin_call* call) {
  call->result.kind = FT_VALUE_HANDLE;
  call->result.as.handle = &movie_object;
  return 0;
}

static int set_compression(ft_plugin_call* call) {
  if (call->arg_count != 2 || call->args[0].kind != FT_VALUE_HANDLE ||
      call->args[1].kind != FT_VALUE_STRING)
    return fail(call, "CompressionType.Set takes a track and a String");
  if (call->args[0].as.handle != &movie_object) return fail(call, "not an object of this plug-in");
  const ft_string codec = call->args[1].as.string;
  if (codec.size != 4 || memcmp(codec.data, "avc1", 4) != 0) return fail(call, "unknown codec");
  return 0;
}

static int sum_image(ft_plugin_call* call) {
  if (call->arg_count != 1 || call->args[0].kind != FT_VALUE_IMAGE)
    return fail(call, "AppendPicture takes one picture");
  const ft_image img = call->args[0].as.image;
  double sum = 0;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width * 4; ++x) sum += img.pixels[y * img.bytes_per_row + x];
  call->result.kind = FT_VALUE_DOUBLE;
  call->result.as.real = sum;
  return 0;
}

static int fail_silently(ft_plugin_call* call) {
  (void)call;
  return 1;
}

static const ft_plugin_entry entries[] = {
    {"MD5(data As String) As String", fake_md5},
    {"FolderItem.CreateMovie() As EditableMovie", create_movie},
    {"QTVideoTrack.CompressionType.Set", set_compression},
    {"QTVideoTrack.AppendPicture(pic As Picture)", sum_image},
    {"EncodeBase64(data As String, lineWrap As Integer = 76) As String", fail_silently},
    {"Echo.TableRequests", table_request_count},
    {NULL, fake_md5}, /* skipped: an entry without a declaration */
};

#endif

const ft_plugin_entry* ft_plugin_entries(size_t* count) {
  ++table_requests;
  *count = sizeof entries / sizeof entries[0];
  return entries;
}
