// The player's process entry.
#include "app/player.h"

int main(int argc, char** argv) {
    return runPlayer(argc, argv);
}
