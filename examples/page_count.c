/* Prints the page count of each PDF file named, through the C API. */
#include <brisel/brisel.h>
#include <stdio.h>

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        int32_t count = 0;
        brisel_error error;
        if (brisel_page_count(argv[i], NULL, 0, NULL, &count, &error) == 0) {
            printf("%s: %d\n", argv[i], (int)count);
        } else {
            fprintf(stderr, "%s: %s (%d)\n", argv[i], error.message, error.code);
            brisel_error_free(&error);
            status = 1;
        }
    }
    return status;
}
