// The authoring preview's process entry.
#include "app/preview.h"

int main(int argc, char** argv) {
    return runPreview(argc, argv);
}
