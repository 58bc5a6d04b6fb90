// bmftool validate --json: what the check found, as one JSON object per file.
#pragma once

#include <string>
#include <vector>

#include "torvik32c/bmf_reader.h"

// "index_range" for BmfRule::index_range: the rule's name in JSON.
const char* RuleName(torvik::BmfRule rule);

// {"path":..,"valid":..,"error":null,"blocks":N,"violations":[{"rule":..,
// "offset":..,"block":..,"message":..}]}: every violation, in file order;
// "block" is null for the header and what follows the last block.
std::string ValidationJson(const std::string& path, const torvik::BmfFile& file,
                           const std::vector<torvik::BmfViolation>& violations);
