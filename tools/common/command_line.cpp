#include "command_line.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <utility>

void PrepareApp(CLI::App& app) {
  app.set_help_flag();
  // On Windows CLI11 would take "/tmp/x.3ds" for an option "/tmp".
  app.allow_windows_style_options(false);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

namespace {

bool IsFlag(const CLI::Option* option) { return option->get_expected_max() == 0; }

// Refuses, as the user wrote it, what the parser would take apart first:
// a value given to a flag ("--version=3", "--help=x") and a cluster of
// short flags with a letter that is no option ("-v.3ds").
void CheckAsWritten(const CLI::App& app, const std::vector<std::string>& args) {
  bool value_next = false;  // the argument is the value of the option before it
  for (const std::string& arg : args) {
    if (std::exchange(value_next, false)) continue;
    if (arg == "--") return;
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      const std::size_t equals = arg.find('=');
      const CLI::Option* option = app.get_option_no_throw(arg.substr(0, equals));
      if (option == nullptr) continue;
      if (equals == std::string::npos)
        value_next = !IsFlag(option);
      else if (IsFlag(option))
        throw std::invalid_argument("option " + arg.substr(0, equals) + " takes no value, not '" +
                                    arg + "'");
    } else if (arg.size() > 1 && arg[0] == '-') {
      for (std::size_t i = 1; i < arg.size(); ++i) {
        const CLI::Option* option = app.get_option_no_throw(std::string("-") + arg[i]);
        if (option == nullptr) {
          if (arg.size() == 2) break;  // a lone unknown "-x" is the parser's to report
          throw std::invalid_argument("unknown option '" + arg + "'");
        }
        if (IsFlag(option)) continue;
        value_next = i + 1 == arg.size();  // else the rest is its value
        break;
      }
    }
  }
}

}  // namespace

void ParseCommandLine(CLI::App& app, const std::vector<std::string>& args) {
  CheckAsWritten(app, args);
  // CLI11 takes its arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ExtrasError&) {
    for (const std::string& extra : app.remaining())
      if (extra.size() > 1 && extra[0] == '-')
        throw std::invalid_argument("unknown option '" + extra + "'");
    throw std::invalid_argument("unexpected argument '" + app.remaining().front() + "'");
  } catch (const CLI::ValidationError& error) {
    // "--jobs: needs a whole number ..." reads as "--jobs needs a whole number ...".
    std::string message = error.what();
    const std::size_t colon = message.find(": ");
    if (colon != std::string::npos) message.erase(colon, 1);
    throw std::invalid_argument(message);
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    const std::size_t missing = message.find(": 1 required");
    if (missing != std::string::npos && message.find("missing") != std::string::npos)
      message = message.substr(0, missing) + " needs a value";
    throw std::invalid_argument(message);
  }
}

CLI::Validator WholeNumberFrom(long low, long high) {
  const std::string range = std::to_string(low) + " to " + std::to_string(high);
  return CLI::Validator(
      [low, high, range](std::string& text) -> std::string {
        long value = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || error != std::errc() || ptr != end || value < low || value > high)
          return "needs a whole number from " + range + ", not '" + text + "'";
        return "";
      },
      "INT in [" + range + "]");
}

CLI::Validator FiniteNumber() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || error != std::errc() || ptr != end || !std::isfinite(value))
          return "needs a number, not '" + text + "'";
        return "";
      },
      "NUMBER");
}
