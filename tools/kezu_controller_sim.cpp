// Stand-alone simulated robot controller for demos and manual tests.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kezucontroller.h"

namespace {

void usage(FILE *out, const char *program) {
    fprintf(out,
            "usage: %s [--port N] [--address A] [--model N] [--push-ms N] [--travel-scale X]\n"
            "          [--brake-ms N]\n"
            "       %s --help\n"
            "  --port N          port to listen on; 0 (default) picks a free one\n"
            "  --address A       IPv4 address to listen on (default 127.0.0.1)\n"
            "  --model N         robot model reported at login, 0-5 (default 0)\n"
            "  --push-ms N       interval of joint and speed pushes in ms (default 100)\n"
            "  --travel-scale X  seconds per radian (or metre) of a simulated move (default 1)\n"
            "  --brake-ms N      ms from a stop's reply to its stopped event (default 0)\n"
            "  --help            print this on standard output and exit\n",
            program, program);
}

// The DH lengths A3, A4, D1, D2, D5, D6 of each model (D2 without the d4 term).
const double MODEL_DH[6][6] = {
    {0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094}, {0.495, 0.375, 0.15, 0.166, 0.1025, 0.94},
    {0.595, 0.48, 0.15, 0.1885, 0.125, 0.1015},    {0.595, 0.58, 0.15, 0.1885, 0.125, 0.1015},
    {0.252, 0.246, 0.1375, 0.112, 0.1025, 0.094},  {0.245, 0.215, 0.1215, 0.1215, 0.1025, 0.094},
};

bool parseNumber(const char *text, double low, double high, double &value) {
    char *end = nullptr;
    value = strtod(text, &end);
    return end != text && *end == '\0' && value >= low && value <= high;
}

bool parseArguments(int argc, char **argv, kezu_sim::ControllerConfig &config) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const char *text = argv[++i];
        double value = 0.0;
        if (option == "--address") {
            config.address = text;
        } else if (option == "--port" && parseNumber(text, 0, 65535, value)) {
            config.port = static_cast<uint16_t>(value);
        } else if (option == "--model" && parseNumber(text, 0, 5, value)) {
            config.robotType = static_cast<int>(value);
            for (int k = 0; k < 6; ++k) {
                config.dh[k] = MODEL_DH[config.robotType][k];
            }
        } else if (option == "--push-ms" && parseNumber(text, 1, 60000, value)) {
            config.pushIntervalMs = static_cast<int>(value);
        } else if (option == "--travel-scale" && parseNumber(text, 0, 1000, value)) {
            config.travelScale = value;
        } else if (option == "--brake-ms" && parseNumber(text, 0, 60000, value)) {
            config.brakeMs = static_cast<int>(value);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        usage(stdout, argv[0]);
        return 0;
    }
    kezu_sim::ControllerConfig config;
    if (!parseArguments(argc, argv, config)) {
        usage(stderr, argv[0]);
        return 2;
    }
    // Wait for the end signal synchronously instead of in a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    kezu_sim::KezuController controller(config);
    if (!controller.start()) {
        fprintf(stderr, "cannot listen on %s:%u: %s\n", config.address.c_str(),
                static_cast<unsigned>(config.port), strerror(errno));
        return 1;
    }
    printf("%u\n", static_cast<unsigned>(controller.port()));
    printf("kezu controller (model %d) listening on %s:%u; Ctrl-C ends it\n", config.robotType,
           config.address.c_str(), static_cast<unsigned>(controller.port()));
    fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    controller.stop();
    printf("stopped after %zu connection(s)\n", controller.acceptedConnections());
    return 0;
}
