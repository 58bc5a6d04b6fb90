// The preview renderer: perspective projection fitted to the frame,
// supersampled rasterisation into a z-buffer, and per-sample lighting of the
// interpolated vertex normals and texture coordinates.
#include "preview_renderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalized(Vec3 a) {
  const double length = std::sqrt(Dot(a, a));
  return length > 1e-12 ? (1.0 / length) * a : Vec3{};
}

Vec3 Position(const torvik::BMF_UNVERTEX& v) { return {v.x, v.y, v.z}; }
Vec3 Normal(const torvik::BMF_UNVERTEX& v) { return {v.i, v.j, v.k}; }
Vec3 Colour(const torvik::BMF_RGBCOLOR& c) { return {c.red, c.green, c.blue}; }
bool Finite(Vec3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

// The camera looks at the model's centre from three radii away, so every
// vertex is well in front of it.  The BMF axes are left-handed (z away from
// the viewer), so right = up x forward.
struct Camera {
  Vec3 position, right, up, forward;
};

Camera PlaceCamera(Vec3 centre, double radius, const PreviewOptions& options) {
  // Any finite angle draws a picture: huge ones would overflow to infinity
  // once turned into radians.
  const double yaw = std::fmod(options.yaw_degrees, 360.0) * std::numbers::pi / 180;
  const double pitch =
      std::clamp(std::fmod(options.pitch_degrees, 360.0), -89.0, 89.0) * std::numbers::pi / 180;
  const Vec3 towards_camera{std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                            -std::cos(yaw) * std::cos(pitch)};
  Camera camera;
  camera.position = centre + (3 * radius) * towards_camera;
  camera.forward = -1.0 * towards_camera;
  camera.right = Normalized(Cross(Vec3{0, 1, 0}, camera.forward));
  camera.up = Cross(camera.forward, camera.right);
  return camera;
}

// A triangle ready to draw: its corners in sample coordinates.
struct Corner {
  double x, y;       // samples, y downwards
  double inv_depth;  // 1 / distance along the view direction
  Vec3 normal;
  double u, v;  // texture coordinates
};

// What a sample interpolates between the corners.
struct Interpolated {
  Vec3 normal;  // unit length
  double u, v;
};

struct Light {
  Vec3 key, fill, half;  // directions towards the lights; half-way vector of the key
};

Light PlaceLights(const Camera& camera) {
  const Vec3 towards_viewer = -1.0 * camera.forward;
  Light light;
  light.key = Normalized(-0.45 * camera.right + 0.65 * camera.up + 0.6 * towards_viewer);
  light.fill = Normalized(0.7 * camera.right - 0.2 * camera.up + 0.5 * towards_viewer);
  light.half = Normalized(light.key + towards_viewer);
  return light;
}

struct Material {
  Vec3 diffuse, specular;
};

// `at` reduced to [0, size) as the wrap says, for any finite `at` (beyond
// 2^53 the reduction is inexact, and clamped).
int Wrap(double at, int size, torvik::MapWrap wrap) {
  double wrapped = at;
  if (wrap == torvik::MapWrap::repeat) {
    wrapped = at - size * std::floor(at / size);
  } else if (wrap == torvik::MapWrap::mirrored_repeat) {
    const double period = 2.0 * size;
    wrapped = at - period * std::floor(at / period);
    if (wrapped >= size) wrapped = period - 1 - wrapped;
  }
  return static_cast<int>(std::clamp(wrapped, 0.0, size - 1.0));
}

struct TexelColour {
  Vec3 colour;
  double alpha = 1;
};

// The texture's colour at (u, v) of the image (placed already), blended
// from the four nearest texels; the image continues as the wrap says and
// v = 0 is its bottom row.
TexelColour Sample(const Image& texture, double u, double v, torvik::MapWrap wrap) {
  if (!std::isfinite(u) || !std::isfinite(v)) u = v = 0;
  const double x = u * texture.width - 0.5, y = (1 - v) * texture.height - 0.5;
  const double x_low = std::floor(x), y_low = std::floor(y);
  const double fx = x - x_low, fy = y - y_low;
  const int xs[2] = {Wrap(x_low, texture.width, wrap), Wrap(x_low + 1, texture.width, wrap)};
  const int ys[2] = {Wrap(y_low, texture.height, wrap), Wrap(y_low + 1, texture.height, wrap)};
  const double weights[2][2] = {{(1 - fy) * (1 - fx), (1 - fy) * fx}, {fy * (1 - fx), fy * fx}};
  TexelColour result{{}, texture.alpha.empty() ? 1.0 : 0.0};
  for (int j = 0; j < 2; ++j) {
    for (int i = 0; i < 2; ++i) {
      const Rgb8 c = texture.At(xs[i], ys[j]);
      result.colour = result.colour + weights[j][i] * Vec3{c.r / 255.0, c.g / 255.0, c.b / 255.0};
      if (!texture.alpha.empty())
        result.alpha += weights[j][i] *
                        texture.alpha[static_cast<std::size_t>(ys[j]) * texture.width + xs[i]] /
                        255.0;
    }
  }
  return result;
}

// `marked`: a stripe of a back face, drawn in red.
Vec3 Shade(const Material& material, Vec3 normal, const Light& light, bool marked) {
  const double key = std::max(0.0, Dot(normal, light.key));
  const double fill = std::max(0.0, Dot(normal, light.fill));
  const double highlight = key > 0 ? std::pow(std::max(0.0, Dot(normal, light.half)), 40) : 0;
  Vec3 colour =
      (0.18 + 0.72 * key + 0.22 * fill) * material.diffuse + (0.3 * highlight) * material.specular;
  if (marked) colour = 0.3 * colour + Vec3{0.62, 0.08, 0.08};
  return colour;
}

class Raster {
 public:
  Raster(int samples, Rgb8 background)
      : samples_(samples),
        depth_(static_cast<std::size_t>(samples) * samples, 0.0f),
        colour_(static_cast<std::size_t>(samples) * samples, background) {}

  // `shade` gives each sample's colour and opacity: a sample of opacity 0
  // is not drawn, and with `blend` the others are laid over what is there
  // (behind nothing nearer), leaving the depth as it is.
  template <class ShadeSample>
  void Draw(const Corner (&c)[3], bool back_face, bool blend, ShadeSample&& shade) {
    const double area = Edge(c[0], c[1], c[2].x, c[2].y);
    if (std::abs(area) < 1e-12) return;
    const int x0 = Clamp(std::floor(std::min({c[0].x, c[1].x, c[2].x})));
    const int x1 = Clamp(std::ceil(std::max({c[0].x, c[1].x, c[2].x})));
    const int y0 = Clamp(std::floor(std::min({c[0].y, c[1].y, c[2].y})));
    const int y1 = Clamp(std::ceil(std::max({c[0].y, c[1].y, c[2].y})));
    // A back face loses a tie with a front face at the same depth, so the
    // reversed copy of a two-sided triangle shows from behind.
    const double bias = back_face ? 1 - 1e-5 : 1;
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const double px = x + 0.5, py = y + 0.5;
        const double l0 = Edge(c[1], c[2], px, py) / area;
        const double l1 = Edge(c[2], c[0], px, py) / area;
        const double l2 = Edge(c[0], c[1], px, py) / area;
        if (l0 < 0 || l1 < 0 || l2 < 0) continue;
        const double inv_depth = l0 * c[0].inv_depth + l1 * c[1].inv_depth + l2 * c[2].inv_depth;
        const std::size_t at = static_cast<std::size_t>(y) * samples_ + x;
        const float depth = static_cast<float>(inv_depth * bias);
        if (depth <= depth_[at]) continue;
        // Perspective-correct weights for the normals and coordinates.
        const double w0 = l0 * c[0].inv_depth / inv_depth, w1 = l1 * c[1].inv_depth / inv_depth;
        const double w2 = 1 - w0 - w1;
        const Interpolated sample{
            Normalized(w0 * c[0].normal + w1 * c[1].normal + w2 * c[2].normal),
            w0 * c[0].u + w1 * c[1].u + w2 * c[2].u, w0 * c[0].v + w1 * c[1].v + w2 * c[2].v};
        const TexelColour shaded = shade(sample, x, y);
        if (!(shaded.alpha > 0)) continue;
        if (!blend) {
          depth_[at] = depth;
          colour_[at] = ToRgb8(shaded.colour);
          continue;
        }
        const Rgb8 behind = colour_[at];
        const double alpha = std::min(shaded.alpha, 1.0);
        colour_[at] =
            ToRgb8(alpha * shaded.colour +
                   (1 - alpha) * Vec3{behind.r / 255.0, behind.g / 255.0, behind.b / 255.0});
      }
    }
  }

  // Averages each factor x factor square of samples into one pixel.
  Image Downsample(int factor) const {
    Image image;
    image.width = image.height = samples_ / factor;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        unsigned r = 0, g = 0, b = 0;
        for (int sy = 0; sy < factor; ++sy) {
          for (int sx = 0; sx < factor; ++sx) {
            const Rgb8 s =
                colour_[static_cast<std::size_t>(y * factor + sy) * samples_ + (x * factor + sx)];
            r += s.r;
            g += s.g;
            b += s.b;
          }
        }
        const unsigned n = static_cast<unsigned>(factor * factor);
        image.pixels[static_cast<std::size_t>(y) * image.width + x] = Rgb8{
            static_cast<std::uint8_t>((r + n / 2) / n), static_cast<std::uint8_t>((g + n / 2) / n),
            static_cast<std::uint8_t>((b + n / 2) / n)};
      }
    }
    return image;
  }

 private:
  static double Edge(const Corner& a, const Corner& b, double px, double py) {
    return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
  }
  int Clamp(double v) const { return static_cast<int>(std::clamp(v, 0.0, samples_ - 1.0)); }
  static Rgb8 ToRgb8(Vec3 c) {
    auto channel = [](double v) {
      if (!(v > 0)) return std::uint8_t{0};  // NaN too
      return static_cast<std::uint8_t>(std::lround(std::min(v, 1.0) * 255));
    };
    return Rgb8{channel(c.x), channel(c.y), channel(c.z)};
  }

  int samples_;
  std::vector<float> depth_;  // 1 / depth; 0 where nothing was drawn
  std::vector<Rgb8> colour_;
};

bool Drawable(const torvik::BmfBlock& block, const torvik::BMF_SURFACE& t) {
  const std::size_t v = block.vertices.size();
  if (t.p0 >= v || t.p1 >= v || t.p2 >= v) return false;
  return Finite(Position(block.vertices[t.p0])) && Finite(Position(block.vertices[t.p1])) &&
         Finite(Position(block.vertices[t.p2]));
}

template <class Visit>
void ForEachDrawable(const torvik::BmfFile& file, Visit&& visit) {
  for (const torvik::BmfBlock& block : file.blocks)
    for (const torvik::BMF_SURFACE& t : block.triangles)
      if (Drawable(block, t)) visit(block, t);
}

// The smallest sphere-ish bound: the box centre and the farthest corner.
struct Bounds {
  Vec3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  bool empty = true;

  void Add(Vec3 p) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    empty = false;
  }
};

constexpr double kMargin = 0.06;  // of the frame on each side

}  // namespace

Image RenderPreview(const torvik::BmfFile& file, const PreviewOptions& options,
                    std::span<const Image* const> textures,
                    std::span<const PreviewSurface> surfaces) {
  const int factor = std::clamp(4096 / options.size, 1, 3);
  const int samples = options.size * factor;
  Raster raster(samples, kPreviewBackground);

  Bounds bounds;
  ForEachDrawable(file, [&](const torvik::BmfBlock& block, const torvik::BMF_SURFACE& t) {
    for (const std::size_t corner : {t.p0, t.p1, t.p2})
      bounds.Add(Position(block.vertices[corner]));
  });
  if (bounds.empty) return raster.Downsample(factor);
  const Vec3 centre = 0.5 * (bounds.low + bounds.high);
  double radius = std::sqrt(Dot(bounds.high - centre, bounds.high - centre));
  if (!(radius > 0) || !std::isfinite(radius)) radius = 1;

  // Back faces are striped diagonally, in stripes 4 pixels wide.
  const int stripe = 4 * factor;
  const Camera camera = PlaceCamera(centre, radius, options);
  const Light light = PlaceLights(camera);
  auto project = [&](Vec3 p, double& x, double& y, double& inv_depth) {
    const Vec3 d = p - camera.position;
    inv_depth = 1 / Dot(d, camera.forward);
    x = Dot(d, camera.right) * inv_depth;
    y = Dot(d, camera.up) * inv_depth;
  };

  // Fit the projected model into the frame.
  double x_low = HUGE_VAL, x_high = -HUGE_VAL, y_low = HUGE_VAL, y_high = -HUGE_VAL;
  ForEachDrawable(file, [&](const torvik::BmfBlock& block, const torvik::BMF_SURFACE& t) {
    for (const std::size_t corner : {t.p0, t.p1, t.p2}) {
      double x, y, inv_depth;
      project(Position(block.vertices[corner]), x, y, inv_depth);
      x_low = std::min(x_low, x);
      x_high = std::max(x_high, x);
      y_low = std::min(y_low, y);
      y_high = std::max(y_high, y);
    }
  });
  const double extent = std::max({x_high - x_low, y_high - y_low, 1e-30});
  const double scale = samples * (1 - 2 * kMargin) / extent;
  const double x_mid = 0.5 * (x_low + x_high), y_mid = 0.5 * (y_low + y_high);

  static const PreviewSurface kStored;
  const auto surface_of = [&](std::size_t b) -> const PreviewSurface& {
    return b < surfaces.size() ? surfaces[b] : kStored;
  };
  const auto texture_of = [&](std::size_t b) -> const Image* {
    const Image* texture = b < textures.size() ? textures[b] : nullptr;
    if (texture != nullptr && (texture->width <= 0 || texture->height <= 0)) return nullptr;
    return texture;
  };
  // Whether the block lets what is behind it show through here and there.
  const auto blended = [&](std::size_t b) {
    const Image* texture = texture_of(b);
    const PreviewSurface& surface = surface_of(b);
    return surface.opacity < 1 ||
           (texture != nullptr && !texture->alpha.empty() && surface.blend_alpha);
  };
  const auto draw = [&](const torvik::BmfBlock& block, const torvik::BMF_SURFACE& t, bool blend) {
    Corner corners[3];
    const std::size_t indices[3] = {t.p0, t.p1, t.p2};
    for (int k = 0; k < 3; ++k) {
      const torvik::BMF_UNVERTEX& v = block.vertices[indices[k]];
      double x, y, inv_depth;
      project(Position(v), x, y, inv_depth);
      corners[k] = Corner{samples / 2.0 + (x - x_mid) * scale,
                          samples / 2.0 - (y - y_mid) * scale,
                          inv_depth,
                          Normal(v),
                          v.u,
                          v.v};
    }
    const Vec3 p0 = Position(block.vertices[t.p0]);
    const Vec3 winding =
        Cross(Position(block.vertices[t.p1]) - p0, Position(block.vertices[t.p2]) - p0);
    const bool back_face = Dot(winding, camera.position - p0) < 0;
    const std::size_t b = static_cast<std::size_t>(&block - file.blocks.data());
    const Image* texture = texture_of(b);
    const PreviewSurface& surface = surface_of(b);
    Material material{Colour(block.diffuse), Colour(block.specular)};
    raster.Draw(corners, back_face, blend, [&](const Interpolated& sample, int x, int y) {
      double alpha = surface.opacity;
      if (texture != nullptr) {
        const auto [u, v] = surface.placement.Apply(sample.u, sample.v);
        const TexelColour texel = Sample(*texture, u, v, surface.wrap);
        material.diffuse = texel.colour;
        if (!texture->alpha.empty()) alpha = surface.blend_alpha ? texel.alpha : texel.alpha >= 0.5;
      }
      return TexelColour{
          Shade(material, sample.normal, light, back_face && (x + y) / stripe % 2 == 0), alpha};
    });
  };
  // The opaque blocks, then the others' triangles from the farthest.
  struct Layered {
    const torvik::BmfBlock* block;
    const torvik::BMF_SURFACE* triangle;
    double distance;
  };
  std::vector<Layered> layered;
  ForEachDrawable(file, [&](const torvik::BmfBlock& block, const torvik::BMF_SURFACE& t) {
    if (!blended(static_cast<std::size_t>(&block - file.blocks.data()))) {
      draw(block, t, false);
      return;
    }
    const Vec3 centre =
        (1.0 / 3) * (Position(block.vertices[t.p0]) + Position(block.vertices[t.p1]) +
                     Position(block.vertices[t.p2]));
    layered.push_back({&block, &t, Dot(centre - camera.position, camera.forward)});
  });
  std::stable_sort(layered.begin(), layered.end(),
                   [](const Layered& a, const Layered& b) { return a.distance > b.distance; });
  for (const Layered& item : layered) draw(*item.block, *item.triangle, true);
  return raster.Downsample(factor);
}
