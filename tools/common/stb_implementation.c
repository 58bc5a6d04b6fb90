/* The code of stb_image and stb_image_write for builds that have their
 * headers but no library of them (the cross builds for Windows: Debian's
 * libstb is for the host only).  Native builds link Debian's libstb instead.
 * Only the formats the tools document are decoded: JPEG, PNG, TGA, BMP and
 * GIF. */
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
