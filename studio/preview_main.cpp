// The authoring preview's process entry: the preview with the studio's panels over it.
#include "app/preview.h"
#include "studio/overlay.h"

int main(int argc, char** argv) {
    studio_overlay studio;
    return runPreview(argc, argv, &studio);
}
