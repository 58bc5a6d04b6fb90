// tinygltf compiled into the reader: no image decoding or writing (the
// images stay as stored), no external images read (the texture resolver
// finds them by name), and no file system of its own: the reader gives it
// callbacks that read the model's folder only.
// Its writer names std::ofstream without including <fstream> when it has no
// file system; the reader never calls it.
#include <fstream>

#define TINYGLTF_IMPLEMENTATION
#include "tinygltf_model.h"
