// kestrine-capture's process entry: see tools/capture.h.
#include "tools/capture.h"

int main(int argc, char** argv) {
    return runCapture(argc, argv);
}
