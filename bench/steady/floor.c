/* The floor: the least a program can do for the same job. Once a second it reads the sources
 * our Linux library reads on a machine without hwmon or GPU files (/proc/stat, /proc/meminfo,
 * the CPU clocks from cpufreq or /proc/cpuinfo), plus the first CPU temperature chip where one
 * exists, and writes the same 23-byte frame to a serial port or pty. Files stay open and are
 * re-read with pread, as the library does.
 *   bench_floor <port> [seconds]      (default: until killed)
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define MAX_CPUS 256

static char text[1 << 17];

static int reread(int fd)
{
    ssize_t n = fd < 0 ? -1 : pread(fd, text, sizeof text - 1, 0);
    text[n > 0 ? n : 0] = 0;
    return n > 0;
}

static unsigned long long busy0, total0;

static int cpu_load(int fd)
{
    unsigned long long f[8] = {0};
    if (!reread(fd) || sscanf(text, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &f[0], &f[1],
                              &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]) < 4)
        return 0;
    unsigned long long total = 0;
    for (int i = 0; i < 8; ++i)
        total += f[i];
    const unsigned long long busy = total - f[3] - f[4];
    int load = 0;
    if (total > total0)
        load = (int)(100.0 * (double)(busy - busy0) / (double)(total - total0));
    busy0 = busy;
    total0 = total;
    return load;
}

static int ram_load(int fd)
{
    if (!reread(fd))
        return 0;
    const char* t = strstr(text, "MemTotal:");
    const char* a = strstr(text, "MemAvailable:");
    if (!t || !a)
        return 0;
    const double total = strtod(t + 9, NULL), avail = strtod(a + 13, NULL);
    return total > 0 ? (int)(100.0 * (total - avail) / total) : 0;
}

static int freq_fds[MAX_CPUS], nfreq;

static int cpu_clock(int cpuinfo)
{
    double sum = 0;
    int n = 0;
    if (nfreq > 0) {
        for (int i = 0; i < nfreq; ++i)
            if (reread(freq_fds[i])) {
                sum += strtod(text, NULL) / 1000.0;
                ++n;
            }
    } else if (reread(cpuinfo)) {
        for (const char* p = text; (p = strstr(p, "cpu MHz")) != NULL; ++p) {
            const char* colon = strchr(p, ':');
            if (!colon)
                break;
            sum += strtod(colon + 1, NULL);
            ++n;
        }
    }
    return n ? (int)(sum / n) : 0;
}

static int find_cpu_temp(void)
{
    DIR* d = opendir("/sys/class/hwmon");
    struct dirent* e;
    int fd = -1;
    char path[512], name[64];
    while (d && fd < 0 && (e = readdir(d)) != NULL) {
        snprintf(path, sizeof path, "/sys/class/hwmon/%s/name", e->d_name);
        FILE* f = fopen(path, "r");
        if (!f)
            continue;
        if (fgets(name, sizeof name, f) &&
            (!strncmp(name, "coretemp", 8) || !strncmp(name, "k10temp", 7) ||
             !strncmp(name, "zenpower", 8))) {
            snprintf(path, sizeof path, "/sys/class/hwmon/%s/temp1_input", e->d_name);
            fd = open(path, O_RDONLY | O_CLOEXEC);
        }
        fclose(f);
    }
    if (d)
        closedir(d);
    return fd;
}

static void put(unsigned char* f, int* at, unsigned value, int width)
{
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        f[(*at)++] = (unsigned char)(((value >> shift) & 0xFF) ^ 0xA5);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s <port> [seconds]\n", argv[0]);
        return 2;
    }
    const int seconds = argc > 2 ? atoi(argv[2]) : -1;
    const int port = open(argv[1], O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (port < 0) {
        perror(argv[1]);
        return 1;
    }
    struct termios tio;
    if (tcgetattr(port, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(port, TCSANOW, &tio);
    }
    const int stat = open("/proc/stat", O_RDONLY | O_CLOEXEC);
    const int meminfo = open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    const int cpuinfo = open("/proc/cpuinfo", O_RDONLY | O_CLOEXEC);
    const int temp = find_cpu_temp();
    for (int cpu = 0; cpu < MAX_CPUS; ++cpu) {
        char path[128];
        snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu%d/cpufreq/scaling_cur_freq", cpu);
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        freq_fds[nfreq++] = fd;
    }

    for (int pass = 0; seconds < 0 || pass < seconds; ++pass) {
        const int load = cpu_load(stat), ram = ram_load(meminfo), clock = cpu_clock(cpuinfo);
        const int celsius = temp >= 0 && reread(temp) ? atoi(text) / 1000 : 0;
        unsigned char frame[23] = {0x74, 0};
        int at = 2;
        put(frame, &at, (unsigned)celsius, 1);
        put(frame, &at, 0, 2); /* CPU fan */
        put(frame, &at, (unsigned)load, 1);
        put(frame, &at, (unsigned)clock, 2);
        put(frame, &at, 0, 1); /* GPU load */
        put(frame, &at, 0, 2); /* GPU clock */
        put(frame, &at, 0, 4); /* GPU memory used */
        put(frame, &at, 0, 4); /* GPU memory total */
        put(frame, &at, 0, 2); /* GPU fan */
        put(frame, &at, 0, 1); /* GPU temperature */
        put(frame, &at, (unsigned)ram, 1);
        if (write(port, frame, sizeof frame) != (ssize_t)sizeof frame)
            perror("write");
        const struct timespec second = {1, 0};
        nanosleep(&second, NULL);
    }
    return 0;
}
