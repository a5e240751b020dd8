/* A stand-in for giants.exe: it records how it was started, optionally waits, and exits with a
 * status the test chooses. The same source builds as a Windows program (MinGW-w64, run under
 * Wine) and as a native Linux program, so both launch paths are checked the same way.
 *
 * Environment:
 *   GIANTS_STANDIN_RECORD   file to write the record to (JSON: args, cwd, and on Windows the raw
 *                           command line). Required: without it the stand-in exits with 90.
 *   GIANTS_STANDIN_WAIT     file whose existence releases the stand-in; without it, no wait.
 *   GIANTS_STANDIN_TIMEOUT  seconds to wait at most (default 120); then exit with 91.
 *   GIANTS_STANDIN_STATUS   exit status once released (default 0).
 *
 * The record is written to a temporary name and renamed, so a reader never sees half of it.
 * Paths from the environment are Linux paths; under Wine they are reached through drive Z:. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#define getcwd _getcwd
static void Pause(void) { Sleep(50); }
#else
#include <unistd.h>
static void Pause(void) { usleep(50 * 1000); }
#endif

/* Makes a Linux path usable by the running program: under Wine "/x" becomes "Z:/x". */
static void HostPath(const char* in, char* out, size_t size)
{
#ifdef _WIN32
    if (in[0] == '/') {
        snprintf(out, size, "Z:%s", in);
        return;
    }
#endif
    snprintf(out, size, "%s", in);
}

static int Exists(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    fclose(f);
    return 1;
}

/* JSON string: quotes, backslashes and control bytes escaped; other bytes written unchanged. */
static void WriteString(FILE* f, const char* s)
{
    fputc('"', f);
    for (const unsigned char* p = (const unsigned char*)s; *p; ++p) {
        if (*p == '"' || *p == '\\') fprintf(f, "\\%c", *p);
        else if (*p < 0x20) fprintf(f, "\\u%04x", *p);
        else fputc(*p, f);
    }
    fputc('"', f);
}

static int WriteRecord(const char* path, int argc, char** argv)
{
    char tmp[4096], cwd[4096];
    /* A cut name would write the record somewhere the test never looks. */
    if (snprintf(tmp, sizeof tmp, "%s.part", path) >= (int)sizeof tmp) return 0;
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
    FILE* f = fopen(tmp, "wb");
    if (!f) return 0;
    fputs("{\"args\": [", f);
    for (int i = 1; i < argc; ++i) {
        if (i > 1) fputs(", ", f);
        WriteString(f, argv[i]);
    }
    fputs("], \"cwd\": ", f);
    WriteString(f, cwd);
#ifdef _WIN32
    fputs(", \"cmdline\": ", f);
    WriteString(f, GetCommandLineA());
#endif
    fputs("}\n", f);
    if (fclose(f) != 0) return 0;
    remove(path);
    return rename(tmp, path) == 0;
}

static long EnvNumber(const char* name, long fallback)
{
    const char* value = getenv(name);
    return value && *value ? strtol(value, NULL, 10) : fallback;
}

int main(int argc, char** argv)
{
    char path[4096];
    const char* record = getenv("GIANTS_STANDIN_RECORD");
    if (!record || !*record) return 90;
    HostPath(record, path, sizeof path);
    if (!WriteRecord(path, argc, argv)) return 92;

    const char* wait = getenv("GIANTS_STANDIN_WAIT");
    if (wait && *wait) {
        HostPath(wait, path, sizeof path);
        long ticks = EnvNumber("GIANTS_STANDIN_TIMEOUT", 120) * 20;
        while (!Exists(path)) {
            if (ticks-- <= 0) return 91;
            Pause();
        }
    }
    return (int)EnvNumber("GIANTS_STANDIN_STATUS", 0);
}
