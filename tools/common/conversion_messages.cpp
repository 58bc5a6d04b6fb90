#include "conversion_messages.h"

#include <exception>
#include <new>

#include "json_string.h"
#include "torvik32c/errors.h"

std::string FailureReason() {
  try {
    throw;
  } catch (const torvik::ModelTooLarge& error) {
    return std::string("model too large for BMF: ") + error.what();
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "unknown error";
  }
}

std::string KeyframerNote(const torvik::KeyframerEffect& effect) {
  if (effect.instances == 0 && effect.moved == 0) return "";
  return "the keyframer draws " + Counted(effect.instances, "more instance", "more instances") +
         " and moves " + Counted(effect.moved, "object", "objects") + "; --keyframer applies it";
}

std::vector<std::string> ApplyKeyframer(torvik::H3dsScene& scene, bool apply,
                                        torvik::KeyframerEffect& effect) {
  const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
  effect = torvik::MeasureKeyframer(scene, placement);
  if (apply) {
    torvik::DrawPlacedMeshes(scene, placement);
    return placement.warnings;
  }
  std::string note = KeyframerNote(effect);
  if (note.empty()) return {};
  return {std::move(note)};
}
