#include <exception>
#include <new>

#include "torvik32c/errors.h"
#include "torvik32c/model_import.h"
#include "torvik32c/reports.h"

namespace torvik {

std::string FailureReason(std::string_view limit_option) {
  try {
    throw;
  } catch (const PlacementTooLarge& error) {
    return "the keyframer would draw " + std::to_string(error.count) + " " + error.counted +
           ", more than the " + std::to_string(error.limit) + " that " + std::string(limit_option) +
           " allows";
  } catch (const InstancesTooLarge& error) {
    return "the scene's nodes would draw " + std::to_string(error.count) + " " + error.counted +
           ", more than the " + std::to_string(error.limit) + " that " + std::string(limit_option) +
           " allows";
  } catch (const ModelTooLarge& error) {
    return std::string("model too large for BMF: ") + error.what();
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const Error& error) {
    return error.what();
  } catch (const std::exception& error) {
    return ShownText(error.what());
  } catch (...) {
    return "unknown error";
  }
}

std::string KeyframerNote(const KeyframerEffect& effect) {
  if (effect.instances == 0 && effect.moved == 0) return "";
  return "the keyframer draws " + Counted(effect.instances, "more instance", "more instances") +
         " and moves " + Counted(effect.moved, "object", "objects") + "; --keyframer applies it";
}

std::vector<std::string> ApplyKeyframer(H3dsScene& scene, bool apply, KeyframerEffect& effect,
                                        const NameDecoder& names, std::uint64_t max_placed_faces) {
  const ScenePlacement placement = PlaceScene(scene, names);
  effect = MeasureKeyframer(scene, placement);
  if (apply) {
    DrawPlacedMeshes(scene, placement, max_placed_faces);
    return placement.warnings;
  }
  std::string note = KeyframerNote(effect);
  if (note.empty()) return {};
  return {std::move(note)};
}

}  // namespace torvik
