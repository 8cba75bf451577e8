/* Preloaded in front of the module: records what robot_startup hands the procedural layer,
 * then calls the real function. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdbool.h>
#include <stdint.h>

typedef int (*startup_fn)(uint16_t, const double *, uint8_t, bool, bool, int, int *);

static int g_seen[5] = {-1, -1, -1, -1, -1};
static double g_payload = -1.0;

int rs_robot_startup(uint16_t rshd, const double *tool_dynamics, uint8_t colli_class,
                     bool read_pos, bool static_colli_detect, int board_maxacc, int *state) {
    g_seen[0] = rshd;
    g_seen[1] = colli_class;
    g_seen[2] = read_pos;
    g_seen[3] = static_colli_detect;
    g_seen[4] = board_maxacc;
    g_payload = tool_dynamics[3]; /* positionX, positionY, positionZ, payload */
    /* The module is loaded privately, so it is looked up by name rather than by RTLD_NEXT. */
    void *module = dlopen("libpykezuqx.so", RTLD_NOW | RTLD_NOLOAD);
    startup_fn next = module ? (startup_fn)dlsym(module, "rs_robot_startup") : 0;
    if (next == 0 || next == rs_robot_startup) {
        return -1;
    }
    return next(rshd, tool_dynamics, colli_class, read_pos, static_colli_detect, board_maxacc,
                state);
}

double startup_spy_seen(int *seen) {
    for (int i = 0; i < 5; ++i) {
        seen[i] = g_seen[i];
    }
    return g_payload;
}
