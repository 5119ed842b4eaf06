/* What the shared library exports: the API alone, the engine stays inside. */
#ifndef BRISEL_EXPORT_H
#define BRISEL_EXPORT_H

#if defined(_WIN32)
#  define BRISEL_API
#elif defined(__GNUC__)
#  define BRISEL_API __attribute__((visibility("default")))
#else
#  define BRISEL_API
#endif

#endif
