#include "model_listing.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "interruption.h"
#include "model_input.h"
#include "texture_folders.h"
#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"
#include "torvik32c/keyframer.h"
#include "torvik32c/reports.h"

namespace {

// What a section maker sees: the model read and how the run would convert it.
struct ListingContext {
  const std::string& input;
  const std::string& output;
  const FileSettings& settings;
  const torvik::H3dsScene& scene;
  const torvik::SceneContents& contents;  // its animation, cameras and lights
  // The images stored inside a glTF, which the conversion writes beside the
  // BMF: their names are not looked for.
  const std::vector<torvik::EmbeddedImage>& embedded;
};

bool IsEmbedded(const ListingContext& context, const std::string& name) {
  return std::any_of(
      context.embedded.begin(), context.embedded.end(),
      [&](const torvik::EmbeddedImage& image) { return image.texture_name == name; });
}

ListingSection TexturesSection(const ListingContext& context) {
  std::vector<std::string> names;
  for (const torvik::H3dsMat& material : context.scene.material)
    if (!IsEmbedded(context, material.texture.texturename))
      names.push_back(material.texture.texturename);
  const std::vector<torvik::TextureResolution> textures =
      torvik::ResolveTextures(torvik::DistinctTextureNames(names), context.input,
                              TextureSearchFor(context.output, context.settings));
  ListingSection section;
  section.title = "textures: " + std::to_string(torvik::FoundCount(textures)) + " of " +
                  std::to_string(textures.size()) + " found";
  const torvik::NameDecoder& decoder = context.settings.names;
  for (const torvik::TextureResolution& texture : textures) {
    section.lines.push_back(torvik::QuotedName(texture.name, decoder) + ": " +
                            torvik::TextureOutcome(texture));
    if (texture.ambiguous())
      for (const std::filesystem::path& candidate : texture.candidates)
        section.lines.push_back("  " + torvik::ShownPath(candidate));
    if (!torvik::TextureProblem(texture).empty()) ++section.problems;
  }
  section.key = "textures";
  section.json = torvik::TexturesJson(textures, nullptr, decoder);
  return section;
}

// Every map of every material (texture 1 and 2, opacity, bump, specular,
// shininess, self-illumination and reflection maps), with how it lies and
// the file found for its kind.  The files of maps other than texture 1 are
// for the glTF, the previews and the copies only: --require-textures does
// not ask for them.
ListingSection MapsSection(const ListingContext& context) {
  const std::vector<torvik::MaterialMap> maps = torvik::ResolveMaterialMaps(
      context.scene.material, context.input, TextureSearchFor(context.output, context.settings));
  const std::vector<torvik::TextureResolution> files = torvik::DistinctMapFiles(maps);
  ListingSection section;
  section.title = "maps: " + std::to_string(maps.size()) + ", " +
                  std::to_string(torvik::FoundCount(files)) + " of " +
                  std::to_string(files.size()) + " files found";
  const torvik::NameDecoder& decoder = context.settings.names;
  for (const torvik::MaterialMap& map : maps) {
    section.lines.push_back(torvik::MaterialMapLine(map, decoder));
    if (map.file.ambiguous())
      for (const std::filesystem::path& candidate : map.file.candidates)
        section.lines.push_back("  " + torvik::ShownPath(candidate));
  }
  section.key = "maps";
  section.json = torvik::MaterialMapsJson(maps, nullptr, decoder);
  return section;
}

// What the keyframer would change: its nodes, the instances it draws beyond
// the meshes as stored, and the objects it moves (--keyframer applies it).
ListingSection KeyframerSection(const ListingContext& context) {
  torvik::KeyframerEffect effect;
  std::vector<std::string> warnings;
  if (!context.scene.nodes.empty() || !context.scene.keyframer_warnings.empty()) {
    const torvik::ScenePlacement placement =
        torvik::PlaceScene(context.scene, context.settings.names);
    effect = torvik::MeasureKeyframer(context.scene, placement);
    warnings = placement.warnings;
  }
  ListingSection section;
  section.title = "keyframer: " + torvik::Counted(effect.nodes, "node") + ", " +
                  torvik::Counted(effect.instances, "more instance", "more instances") + ", " +
                  torvik::Counted(effect.moved, "object") + " moved";
  section.lines = std::move(warnings);
  section.key = "keyframer";
  section.json = "{\"nodes\":" + std::to_string(effect.nodes) +
                 ",\"instances\":" + std::to_string(effect.instances) +
                 ",\"moved\":" + std::to_string(effect.moved) + "}";
  return section;
}

// The keyframer's animation, the cameras and the lights (what --gltf adds).
ListingSection AnimationSection(const ListingContext& context) {
  const torvik::SceneContents& contents = context.contents;
  return {.title = "animation: " + torvik::AnimationSummary(contents),
          .lines = {},
          .key = "animation",
          .json = torvik::AnimationJson(contents)};
}

ListingSection CamerasSection(const ListingContext& context) {
  const torvik::SceneContents& contents = context.contents;
  const torvik::NameDecoder& names = context.settings.names;
  return {.title = "cameras: " + std::to_string(contents.cameras.size()),
          .lines = torvik::CameraLines(contents, names),
          .key = "cameras",
          .json = torvik::CamerasJson(contents, names)};
}

ListingSection LightsSection(const ListingContext& context) {
  const torvik::SceneContents& contents = context.contents;
  const torvik::NameDecoder& names = context.settings.names;
  return {.title = "lights: " + std::to_string(contents.lights.size()),
          .lines = torvik::LightLines(contents, names),
          .key = "lights",
          .json = torvik::LightsJson(contents, names)};
}

// The images a glTF stores inside it, each with the file the conversion
// writes beside the BMF.
ListingSection EmbeddedSection(const ListingContext& context) {
  ListingSection section;
  section.title = "embedded images: " + std::to_string(context.embedded.size());
  section.key = "embedded";
  section.json = "[";
  for (const torvik::EmbeddedImage& image : context.embedded) {
    std::string line = torvik::QuotedName(image.texture_name);
    line.append(": written beside the BMF as ").append(torvik::ShownText(image.file_name));
    section.lines.push_back(std::move(line));
    if (section.json.size() > 1) section.json += ',';
    section.json.append("{\"name\":").append(torvik::JsonString(image.texture_name));
    section.json.append(",\"file\":").append(torvik::JsonString(image.file_name)).append("}");
  }
  section.json += "]";
  return section;
}

using SectionMaker = ListingSection (*)(const ListingContext&);
constexpr SectionMaker kSectionMakers[] = {TexturesSection, KeyframerSection, AnimationSection,
                                           CamerasSection,  LightsSection,    MapsSection};

}  // namespace

ModelListing ListModel(const std::string& input, const std::string& output,
                       const FileSettings& settings) {
  ModelListing listing;
  listing.input = input;
  try {
    FileSettings reading = settings;
    reading.report_keyframer = true;
    reading.report_scene = true;
    InputModel read = ReadInputModel(input, output, reading, false);
    const torvik::H3dsScene& scene = read.imported ? read.imported->scene : read.scene;
    const std::vector<torvik::EmbeddedImage> none;
    const std::vector<torvik::EmbeddedImage>& embedded =
        read.imported ? read.imported->images : none;
    const torvik::SceneContents contents =
        torvik::MeasureSceneContents(scene, torvik::PlaceScene(scene, settings.names));
    const ListingContext context{input, output, settings, scene, contents, embedded};
    for (const SectionMaker make : kSectionMakers) listing.sections.push_back(make(context));
    if (read.imported) {
      listing.format = torvik::ModelFormatName(read.format);
      listing.sections.push_back(EmbeddedSection(context));
      for (const std::string& warning : read.imported->warnings)
        listing.warnings.push_back(warning);
    }
  } catch (const torvik::Cancelled&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    listing.error = torvik::FailureReason();
    listing.sections.clear();
  }
  return listing;
}

std::string ListingText(const ModelListing& listing) {
  std::string text = torvik::ShownText(listing.input) +
                     (listing.format.empty() ? "" : " (" + listing.format + ")") + "\n";
  for (const ListingSection& section : listing.sections) {
    text += "  " + section.title + "\n";
    for (const std::string& line : section.lines) text += "    " + line + "\n";
  }
  return text;
}

std::string ListingJson(const ModelListing& listing) {
  const bool ok = listing.error.empty();
  std::string json =
      "{\"path\":" + torvik::JsonString(listing.input) +
      (listing.format.empty() ? "" : ",\"format\":" + torvik::JsonString(listing.format)) +
      ",\"ok\":" + (ok ? "true" : "false") +
      ",\"error\":" + (ok ? std::string("null") : torvik::JsonString(listing.error));
  for (const ListingSection& section : listing.sections)
    json.append(1, ',').append(torvik::JsonString(section.key)).append(1, ':').append(section.json);
  return json + "}";
}

int RunList(const Options& options) {
  for (const std::string& warning : TextureFolderWarnings(options.texture_paths))
    if (!options.quiet) std::fprintf(stderr, "3ds2bmf: %s\n", warning.c_str());
  CatchInterruptions();
  FileSettings settings{.preview = options.preview,
                        .gltf = options.gltf,
                        .names = options.names,
                        .texture_paths = options.texture_paths,
                        .texture_choices = options.texture_choices,
                        .cancel = &InterruptionFlag()};
  int status = 0;
  try {
    for (const std::string& input : options.inputs) {
      const ModelListing listing = ListModel(input, OutputPath(options, input), settings);
      if (!listing.error.empty()) {
        std::fprintf(stderr, "3ds2bmf: %s: %s\n", torvik::ShownText(input).c_str(),
                     listing.error.c_str());
        status = 1;
      }
      for (const std::string& warning : listing.warnings)
        if (!options.quiet)
          std::fprintf(stderr, "3ds2bmf: %s: warning: %s\n", torvik::ShownText(input).c_str(),
                       warning.c_str());
      for (const ListingSection& section : listing.sections)
        if (options.require_textures && section.problems != 0) status = 1;
      if (options.json)
        std::printf("%s\n", ListingJson(listing).c_str());
      else if (listing.error.empty())
        std::fputs(ListingText(listing).c_str(), stdout);
      std::fflush(stdout);
    }
  } catch (const torvik::Cancelled&) {
  }
  return Interrupted() ? InterruptedExitStatus() : status;
}
