/* Reference disc IDs from libdiscid: reads one table of contents per line
 * ("lead-out first-track-offset ... last-track-offset", absolute frames) and
 * prints the FreeDB id libdiscid computes for it, or "error". */
#include <discid/discid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void) {
    char line[8192];
    while (fgets(line, sizeof line, stdin)) {
        int offsets[100];
        int n = 0;
        char* save = NULL;
        for (char* tok = strtok_r(line, " \t\r\n", &save); tok && n < 100; tok = strtok_r(NULL, " \t\r\n", &save))
            offsets[n++] = atoi(tok);
        if (n < 2) {
            puts("error");
            continue;
        }
        DiscId* d = discid_new();
        if (discid_put(d, 1, n - 1, offsets))
            puts(discid_get_freedb_id(d));
        else
            puts("error");
        discid_free(d);
        fflush(stdout);
    }
    return 0;
}
