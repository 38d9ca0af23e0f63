// kestrine-check's process entry: see tools/check.h.
#include "tools/check.h"

int main(int argc, char** argv) {
    return runCheck(argc, argv);
}
