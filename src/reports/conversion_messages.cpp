#include "torvik32c/reports.h"

#include <exception>
#include <new>

#include "torvik32c/errors.h"

namespace torvik {

std::string FailureReason() {
  try {
    throw;
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
                                        const NameDecoder& names) {
  const ScenePlacement placement = PlaceScene(scene, names);
  effect = MeasureKeyframer(scene, placement);
  if (apply) {
    DrawPlacedMeshes(scene, placement);
    return placement.warnings;
  }
  std::string note = KeyframerNote(effect);
  if (note.empty()) return {};
  return {std::move(note)};
}

}  // namespace torvik
