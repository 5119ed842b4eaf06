/* Brisel as a library, for C and the foreign-function interfaces of other
 * languages. Every function is independent of every other call; none keeps
 * state, so documents can be split on several threads at once. Functions
 * that can fail return 0 on success, else the command line's exit status
 * for the failure, and fill *error (when error is not null) with that code
 * and its message; brisel_error_free releases it. */
#ifndef BRISEL_BRISEL_H
#define BRISEL_BRISEL_H

#include <stddef.h>
#include <stdint.h>

#include "brisel/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct brisel_error {
    int code;          /* the command line's exit status */
    int password;      /* 1 for a wrong or missing password */
    char* message;     /* UTF-8, owned by the error */
} brisel_error;

/* What to write; zero-initialise, then set what you need. Texts are the
 * command line's ("1-3,7,9-"); null means not given. */
typedef struct brisel_options {
    const char* password;
    const char* pages;
    int every;
    int at_bookmarks;
    const char* parts;
    int drop_annotations;
    int drop_document_data;
} brisel_options;

/* One output file as it is built: its bytes (valid only during the call),
 * its first and last page (1-based) and the title of the bookmark that
 * starts it (UTF-8, may be empty). Return non-zero to stop the split. */
typedef int (*brisel_file_fn)(void* context, const uint8_t* bytes, size_t size, int32_t first_page,
                              int32_t last_page, const char* title);

/* Splits a file (path) or bytes (data, size; path then only names it in
 * messages) and hands each output file to fn. */
BRISEL_API int brisel_split(const char* path, const void* data, size_t size, const brisel_options* options,
                            brisel_file_fn fn, void* context, brisel_error* error);

/* Writes the files into folder as the command line's --out does (pattern:
 * --name, or null). *json_record (when not null) receives the --json record,
 * freed with brisel_free. Returns the record's status. */
BRISEL_API int brisel_split_to(const char* path, const void* data, size_t size, const char* folder,
                               const char* pattern, const brisel_options* options, char** json_record,
                               brisel_error* error);

/* The page count into *count. */
BRISEL_API int brisel_page_count(const char* path, const void* data, size_t size, const char* password,
                                 int32_t* count, brisel_error* error);

BRISEL_API void brisel_error_free(brisel_error* error);
BRISEL_API void brisel_free(void* text);
BRISEL_API const char* brisel_version(void);

#ifdef __cplusplus
}
#endif

#endif
