/* The floor of page splitting: writes page files whose bytes are already
 * known. It reads one pack file (name, NUL, 8-byte little-endian size, bytes;
 * again and again) made from a splitter's output and creates each file in the
 * output folder. No splitter can write the same files faster than this.
 * With --whole, each file is written without a name and linked to its name
 * once whole, as brisel does on Linux, so that the two rows tell what that
 * guarantee costs.
 *
 *     floor [--whole] PACK OUT_FOLDER
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

/* Creates path with the bytes [data, data + length): at once, or whole. */
static int create(const char* folder, const char* path, const unsigned char* data, uint64_t length, int whole) {
    int out = whole ? open(folder, O_TMPFILE | O_WRONLY, 0644) : open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || write(out, data, length) != (ssize_t)length) return -1;
    if (whole) {
        char link[64];
        snprintf(link, sizeof link, "/proc/self/fd/%d", out);
        if (linkat(AT_FDCWD, link, AT_FDCWD, path, AT_SYMLINK_FOLLOW) != 0) return -1;
    }
    return close(out);
}

int main(int argc, char** argv) {
    const int whole = argc == 4 && strcmp(argv[1], "--whole") == 0;
    if (whole) ++argv, --argc;
    if (argc != 3) {
        fprintf(stderr, "usage: floor [--whole] PACK OUT_FOLDER\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        perror(argv[1]);
        return 1;
    }
    const size_t size = (size_t)st.st_size;
    const unsigned char* pack = size ? mmap(NULL, size, PROT_READ, MAP_PRIVATE, fd, 0) : NULL;
    if (size && pack == MAP_FAILED) {
        perror("mmap");
        return 1;
    }
    char path[4096];
    size_t at = 0;
    while (at < size) {
        const unsigned char* name = pack + at;
        const unsigned char* nul = memchr(name, 0, size - at);
        if (!nul || (size_t)(pack + size - nul) < 9) break;
        uint64_t length = 0;
        for (int i = 7; i >= 0; --i) length = (length << 8) | nul[1 + i];
        const unsigned char* data = nul + 9;
        if (length > (uint64_t)(pack + size - data)) break;
        snprintf(path, sizeof path, "%s/%s", argv[2], (const char*)name);
        if (create(argv[2], path, data, length, whole) != 0) {
            perror(path);
            return 1;
        }
        at = (size_t)(data + length - pack);
    }
    if (at != size) {
        fprintf(stderr, "%s: damaged pack\n", argv[1]);
        return 1;
    }
    return 0;
}
