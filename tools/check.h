#pragma once

// The tool: `kestrine-check SCENE.xml`. Compiles the shaders when a display is reachable.
// Returns 0 without errors, 1 with one, 2 for a wrong command line.
int runCheck(int argc, char** argv);
