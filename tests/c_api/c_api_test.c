/* The C API from C: a document of three pages split to memory and to a
 * folder, its page count, a stop asked by the callback, and failures with
 * their code and message. */
#include <brisel/brisel.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;
#define CHECK(condition)                                                        \
    do {                                                                        \
        if (!(condition)) {                                                     \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);     \
            ++failures;                                                         \
        }                                                                       \
    } while (0)

/* A classic PDF file of three pages with a correct cross-reference table. */
static size_t ThreePages(char* out, size_t room) {
    const char* objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 400] >>",
    };
    long offsets[5];
    size_t n = (size_t)snprintf(out, room, "%%PDF-1.4\n");
    for (int i = 0; i < 5; ++i) {
        offsets[i] = (long)n;
        n += (size_t)snprintf(out + n, room - n, "%d 0 obj\n%s\nendobj\n", i + 1, objects[i]);
    }
    const long xref = (long)n;
    n += (size_t)snprintf(out + n, room - n, "xref\n0 6\n0000000000 65535 f \n");
    for (int i = 0; i < 5; ++i) n += (size_t)snprintf(out + n, room - n, "%010ld 00000 n \n", offsets[i]);
    n += (size_t)snprintf(out + n, room - n, "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n%ld\n%%%%EOF\n", xref);
    return n;
}

struct Seen {
    int files;
    int firsts[8];
    size_t total;
    int stopAfter;
};

static int Take(void* context, const uint8_t* bytes, size_t size, int32_t first, int32_t last, const char* title) {
    struct Seen* seen = (struct Seen*)context;
    CHECK(size > 20 && memcmp(bytes, "%PDF-", 5) == 0);
    CHECK(first <= last && title != NULL && title[0] == '\0');
    if (seen->files < 8) seen->firsts[seen->files] = first;
    seen->files++;
    seen->total += size;
    return seen->stopAfter && seen->files >= seen->stopAfter;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const char* folder = argv[1];
    static char pdf[4096];
    const size_t size = ThreePages(pdf, sizeof pdf);
    brisel_error error;

    /* To memory: one file per page, in order. */
    struct Seen seen = {0};
    CHECK(brisel_split("three.pdf", pdf, size, NULL, Take, &seen, &error) == 0);
    CHECK(error.code == 0 && error.message == NULL);
    CHECK(seen.files == 3 && seen.firsts[0] == 1 && seen.firsts[1] == 2 && seen.firsts[2] == 3);

    /* Options: parts of two pages, and only pages 2-3. */
    brisel_options options;
    memset(&options, 0, sizeof options);
    options.every = 2;
    memset(&seen, 0, sizeof seen);
    CHECK(brisel_split(NULL, pdf, size, &options, Take, &seen, &error) == 0);
    CHECK(seen.files == 2 && seen.firsts[0] == 1 && seen.firsts[1] == 3);
    options.every = 0;
    options.pages = "2-3";
    memset(&seen, 0, sizeof seen);
    CHECK(brisel_split(NULL, pdf, size, &options, Take, &seen, &error) == 0);
    CHECK(seen.files == 2 && seen.firsts[0] == 2 && seen.firsts[1] == 3);

    /* The callback stops the split: a stopped job. */
    memset(&seen, 0, sizeof seen);
    seen.stopAfter = 1;
    CHECK(brisel_split(NULL, pdf, size, NULL, Take, &seen, &error) == 130);
    CHECK(error.code == 130 && seen.files == 1);
    brisel_error_free(&error);

    /* The page count, from bytes. */
    int32_t count = 0;
    CHECK(brisel_page_count(NULL, pdf, size, NULL, &count, NULL) == 0 && count == 3);

    /* To a folder: the record of --json, and the files it names. */
    char* record = NULL;
    CHECK(brisel_split_to("three.pdf", pdf, size, folder, "%s-%d.pdf", NULL, &record, &error) == 0);
    CHECK(record != NULL && strstr(record, "\"status\":0,\"pages\":3,") != NULL);
    CHECK(record != NULL && strstr(record, "three-3.pdf\"]") != NULL);
    brisel_free(record);

    /* Failures: junk, a missing file, a page range outside the document. */
    CHECK(brisel_split(NULL, "not a PDF file, not at all", 26, NULL, Take, &seen, &error) == 1);
    CHECK(error.code == 1 && error.message != NULL && error.message[0] != '\0' && error.password == 0);
    brisel_error_free(&error);
    CHECK(brisel_page_count("/nonexistent/file.pdf", NULL, 0, NULL, &count, &error) == 1);
    CHECK(error.message != NULL && strlen(error.message) > 0);
    brisel_error_free(&error);
    options.pages = "2-9";
    CHECK(brisel_split(NULL, pdf, size, &options, Take, &seen, &error) == 5);
    CHECK(error.code == 5);
    brisel_error_free(&error);
    options.pages = "x";
    CHECK(brisel_split(NULL, pdf, size, &options, Take, &seen, &error) == 2);
    brisel_error_free(&error);

    CHECK(strcmp(brisel_version(), "2.22") == 0);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures != 0;
}
