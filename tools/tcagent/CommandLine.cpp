#include "tools/tcagent/CommandLine.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <map>

#include "sim/chip/TernaryTable.h"
#include "tools/tcagent/Numbers.h"
#include "tools/tcagent/Quoted.h"

namespace TcAgent {

namespace {

constexpr const char* description =
    "tcagent: a small forwarding agent around the ingress traffic-class table of a simulated\n"
    "switching chip. Each run is one agent lifetime: it attaches the chip and the key store in\n"
    "the state directory, loads the driver library and the plug-in, reconciles with what the\n"
    "chip holds, does the command and exits.";

constexpr const char* footer = R"(exit status:
  0  done
  1  the driver or the state refused, or the output could not be written (nothing is
     reported as done that was not)
  2  bad usage, or a bad policy file (nothing was changed)

policy file: one entry per line, '#' starts a comment:
  prio=10 dscp=46 trust-mode=2/0x3 -> tc=5 qid=5
  default -> tc=0 qid=0
key fields: trust-mode default-cos cos dscp high-priority decap-type cpu-trust-mode cpu-tc
(or their attribute names); V is an exact match, V/M a value and mask, an omitted field a
wildcard; numbers are decimal or 0x hex. A line may also be an entry as 'show --format entry'
prints it, and the JSON document of 'show --format json' is a policy file too.)";

const std::map<std::string, Format> textOrJson = {{"text", Format::text}, {"json", Format::json}};
const std::map<std::string, Format> showFormats = {
    {"table", Format::text}, {"entry", Format::entry}, {"json", Format::json}};

void addFormat(CLI::App& command, Format& format, const std::map<std::string, Format>& choices,
               const char* help) {
  command
      .add_option_function<std::string>(
          "--format",
          [&format, &choices, help](const std::string& text) {
            std::string name = text;
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            auto chosen = choices.find(name);
            if (chosen == choices.end()) {
              throw CLI::ValidationError(
                  "--format", fmt::format("{} is not a format: give {}", quotedText(text), help));
            }
            format = chosen->second;
          },
          help)
      ->option_text("FORMAT");
}

// A number option, read by the one number parser of policy files, in [low, high].
template <class Number>
CLI::Option* addNumber(CLI::App& app, const char* name, Number& target, U64 low, U64 high,
                       const char* help) {
  return app
      .add_option_function<std::string>(
          name,
          [&target, name, low, high](const std::string& text) {
            ParsedNumber number = numberParsed(text, high);
            if (number.error || number.value < low) {
              throw CLI::ValidationError(name, fmt::format("{} is not a number from {} to {}",
                                                           quotedText(text), low, high));
            }
            target = static_cast<Number>(number.value);
          },
          help)
      ->option_text("N");
}

// A path given to an option that begins with '-' is more likely an option the value was left out
// before (`--state --dry-run`), which would otherwise be taken for the path.
std::string notAnOption(const std::string& path) {
  if (!path.starts_with('-')) return "";
  return fmt::format(
      "{} looks like an option, not a path; a path that begins with '-' is given "
      "as {}",
      quotedText(path), quotedText("./" + path));
}

// Whether the words ask for JSON output, the last --format given deciding as it does for the
// command, so that even a usage error is written as JSON.
bool jsonAsked(int argc, const char* const* argv) {
  std::string_view format;
  for (int at = 1; at < argc; ++at) {
    std::string_view word = argv[at];
    if (word.starts_with("--format=")) {
      format = word.substr(std::string_view("--format=").size());
    } else if (word == "--format" && at + 1 < argc) {
      format = argv[++at];
    }
  }
  return format == "json";
}

// Whether `name` is an option of `app` or of one of its commands that takes a value.
bool takesValue(const CLI::App& app, const std::string& name) {
  std::vector<const CLI::App*> scopes = app.get_subcommands({});
  scopes.push_back(&app);
  return std::any_of(scopes.begin(), scopes.end(), [&name](const CLI::App* scope) {
    const CLI::Option* option = scope->get_option_no_throw(name);
    return option && option->get_items_expected_min() != 0;
  });
}

// The words after the program's name, last first as the parser takes them. "--opt=" gives an
// option that takes a value an empty one, as getopt does, where the parser would take the next
// word for it.
std::vector<std::string> wordsToParse(const CLI::App& app, int argc, const char* const* argv) {
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (int at = 1; at < argc; ++at) {
    std::string word = argv[at];
    optionsEnded = optionsEnded || word == "--";
    const bool emptyValue = !optionsEnded && word.starts_with("--") && word.ends_with('=') &&
                            takesValue(app, word.substr(0, word.size() - 1));
    if (emptyValue) word.pop_back();
    words.push_back(std::move(word));
    if (emptyValue) words.emplace_back();
  }
  std::reverse(words.begin(), words.end());
  return words;
}

}  // namespace

// Refuses through `refuse` the first word left over that is an option: a command's own given
// before the command is told where it goes, and a file name that looks like an option how to
// give it. A lone '-' names standard input, not an option.
template <class Refuse>
void refuseUnknownOption(const CLI::App& app, const Refuse& refuse) {
  const std::vector<std::string> extras = app.remaining();
  if (extras.empty() || !extras.front().starts_with("-") || extras.front() == "-") return;
  const std::string& word = extras.front();
  const std::string name = word.substr(0, word.find('='));
  for (const CLI::App* command : app.get_subcommands()) {
    if (command->get_option_no_throw(name)) {
      refuse(fmt::format("{} is an option of {}: give it after the command", quotedText(name),
                         command->get_name()));
    }
  }
  const bool takesFile =
      !app.get_subcommands().empty() && app.get_subcommands().front()->get_option_no_throw("FILE");
  refuse("unknown option " + quotedText(word) +
         (takesFile && !word.starts_with("--")
              ? fmt::format("; a file whose name begins with '-' is given as {}",
                            quotedText("./" + word))
              : ""));
}

CommandLine commandLineOf(int argc, const char* const* argv) {
  CommandLine line;
  CLI::App app(description, "tcagent");
  app.footer(footer);
  app.set_version_flag("--version", "tcagent " TCAGENT_VERSION);
  // An option given twice takes its last value, as in the shell tools operators know.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  // What no option or command takes is kept, to be named in the error.
  app.allow_extras();
  app.get_formatter()->column_width(32);
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");

  app.add_option("--state", line.stateDirectory,
                 "state directory (default: $XDG_RUNTIME_DIR/tcagent, else /tmp/tcagent-UID, "
                 "made 0700)")
      ->option_text("DIR")
      ->check(notAnOption);
  app.add_option("--driver", line.driver,
                 "the driver library: pd (PD functions), bfrt (PD functions and BF Runtime "
                 "tables), or the path of a library")
      ->option_text("pd|bfrt|PATH")
      ->check(notAnOption);
  addNumber(app, "--device", line.device, 0, 0xFF, "device number (default 0)");
  addNumber(app, "--pipe", line.pipe, 0, 0xFFFF, "pipe (default 65535: all pipes)");
  addNumber(app, "--capacity", line.capacity, 1, SimChip::TernaryTable::maxCapacity,
            "entries of the chip's table when its state is first made (default 512), or when "
            "apply or clear makes an empty one again");
  app.add_flag("--trace", line.trace, "trace the library at level 9 on standard error");
  app.add_option_function<std::vector<std::string>>(
         "--fail",
         [&line](const std::vector<std::string>& faults) {
           for (const std::string& fault : faults) {
             try {
               line.faults.push_back(faultRequestOf(fault));
             } catch (const std::invalid_argument& error) {
               throw CLI::ValidationError("--fail", error.what());
             }
           }
         },
         "make the Nth call (or every call) of driver operation OP fail with STATUS (a number "
         "or a status text such as not-enough-space); may be given more than once")
      ->option_text("OP:STATUS[:N]")
      ->allow_extra_args(false)
      ->take_all();

  CLI::App* apply = app.add_subcommand("apply", "make the table hold exactly the policy in FILE");
  apply->add_option("FILE", line.policyPath, "the policy file ('-': standard input)")->required();
  apply->add_flag("--dry-run", line.dryRun,
                  "print the plan, in the order it would be programmed, and change nothing");
  apply->add_flag("--allow-disruption", line.allowDisruption,
                  "when the table has no room for the old and new entries together, remove "
                  "old entries before adding new ones");
  addFormat(*apply, line.format, textOrJson, "text (default) or json");

  CLI::App* show = app.add_subcommand("show", "the table as read back from the chip");
  show->add_option("FIELD=VALUE", line.fields,
                   "only the entries that a packet with these key fields would match, in the "
                   "order in which they apply");
  addFormat(*show, line.format, showFormats, "table (default), entry or json");

  CLI::App* classify = app.add_subcommand(
      "classify", "what the chip does with a packet with these key fields (others 0)");
  classify->add_option("FIELD=VALUE", line.fields, "the packet's key fields");
  addFormat(*classify, line.format, textOrJson, "text (default) or json");

  CLI::App* clear = app.add_subcommand("clear", "remove every entry and reset the default action");
  addFormat(*clear, line.format, textOrJson, "text (default) or json");

  CLI::App* check = app.add_subcommand(
      "check",
      "validate a policy file without state or driver, and find entries that never "
      "match or overlap at one priority");
  check->add_option("FILE", line.policyPath, "the policy file ('-': standard input)")->required();
  addFormat(*check, line.format, textOrJson, "text (default) or json");

  app.add_subcommand("demo", "the whole life of the table, narrated, in a fresh state");

  for (CLI::App* command : app.get_subcommands({})) {
    command->fallthrough();
    command->footer(command->get_name() == "demo"
                        ? "The demo takes no global option: it chooses its own."
                        : "Global options go before or after the command: see tcagent --help.");
  }

  auto refuse = [&](const std::string& message) {
    throw CommandLineExit{2, "", message, jsonAsked(argc, argv)};
  };
  try {
    app.parse(wordsToParse(app, argc, argv));
  } catch (const CLI::RequiredError& error) {
    // An unknown option where FILE goes (apply -x.txt) is what is wrong, not the missing FILE.
    refuseUnknownOption(app, refuse);
    refuse(error.what());
  } catch (const CLI::CallForHelp&) {
    throw CommandLineExit{0, app.help(), ""};
  } catch (const CLI::CallForAllHelp&) {
    throw CommandLineExit{0, app.help("", CLI::AppFormatMode::All), ""};
  } catch (const CLI::CallForVersion&) {
    throw CommandLineExit{0, std::string("tcagent ") + TCAGENT_VERSION + "\n", ""};
  } catch (const CLI::ParseError& error) {
    throw CommandLineExit{2, "", error.what(), jsonAsked(argc, argv)};
  }
  refuseUnknownOption(app, refuse);
  const std::vector<std::string> extras = app.remaining();
  if (app.get_subcommands().empty()) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({}))
      names.push_back(command->get_name());
    refuse((extras.empty() ? std::string("no command given")
                           : "unknown command " + quotedText(extras.front())) +
           fmt::format("; the commands are {}", fmt::join(names, ", ")));
  }
  line.command = app.get_subcommands().front()->get_name();
  if (!extras.empty()) refuse(line.command + " does not take " + quotedText(extras.front()));
  if (line.command == "demo") {
    for (const CLI::Option* option : app.get_options()) {
      if (option->count()) {
        refuse(option->get_name() +
               " does not apply to demo, which runs in a fresh state of its own on both drivers");
      }
    }
  }
  line.stateDirectoryGiven = app.count("--state") > 0;
  line.capacityGiven = app.count("--capacity") > 0;
  if (line.stateDirectoryGiven && line.stateDirectory.empty()) {
    refuse("--state: an empty path names no directory; leave --state out for the default");
  }
  if (line.driver != "pd" && line.driver != "bfrt" && line.driver.find('/') == std::string::npos) {
    refuse("--driver: " + quotedText(line.driver) +
           " is not a driver: give pd, bfrt, or the path of a driver library (with a '/')");
  }
  return line;
}

}  // namespace TcAgent
