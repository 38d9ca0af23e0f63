#pragma once
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "graph/transform.h"

// A mesh drawn with a program, a texture and a colour while its time window is open.
class modelo_descript {
public:
    // Visible for start <= t <= end; a window whose start equals its end is always visible.
    bool is_on_time(double t) const;

    std::string mesh_name;    // key in the scene's mesh table
    std::string shader_name;  // key in the scene's shader table
    std::string texture_name; // key in the texture table; empty draws without a texture
    glm::vec3 colour = glm::vec3(0.0f);
    double start = 0.0; // seconds
    double end = 0.0;
    int line = 0;   // of its element in the scene file, for the tools
    int place = -1; // its element's index in the scene file (document order)
};

// A node of the scene graph; copying it copies the whole subtree.
class group {
public:
    void addTransform(int kind, float scalar, glm::vec3 operand);
    void addTransform(int kind, float scalar, glm::vec3 operand, glm::vec3 wobbleFrequency,
                      glm::vec3 spare, double wobbleAmplitude);
    void addTransform(int kind, unsigned int seconds);
    // Takes the child by value so that a finished subtree can be moved in, not copied.
    void addGroup(group child);
    // Note the argument order: mesh, texture, shader.
    void addModelDescriptor(std::string mesh, std::string texture, std::string shader,
                            glm::vec3 colour, double start, double end);
    // Accepted for the scene format's sake; they keep nothing.
    void addTerrain(const char* file);
    void addProceduralModel(int x, int y, int xseg, int yseg);

    std::vector<modelo_descript> descriptors;
    std::vector<group> children;
    std::vector<transform> transforms; // in order of application
    int place = -1;                    // its element's index in the scene file (document order)
};
