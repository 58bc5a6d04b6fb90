/* stb's image reader and PNG writer, which the glTF export uses to embed
   textures: natively they come from Debian's libstb, here they are compiled
   into the module. */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>
