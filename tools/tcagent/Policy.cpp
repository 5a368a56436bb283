#include "tools/tcagent/Policy.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <future>
#include <tuple>

#include <fmt/format.h>

#include "platform/Kiv/Exception.h"
#include "platform/Kiv/ThreadSafePtr.h"
#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/Numbers.h"
#include "tools/tcagent/ParallelSort.h"
#include "tools/tcagent/PolicyDocument.h"
#include "tools/tcagent/PolicySource.h"
#include "tools/tcagent/Progress.h"
#include "tools/tcagent/Quoted.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

// Why a line is refused; its place is added where the line is known.
struct LineError {
  std::string reason;
};

// The number `text` writes, at most `max`; `what()` names it in the refusal of another text.
template <class What>
U64 numberOf(std::string_view text, U64 max, const What& what) {
  ParsedNumber number = numberParsed(text, max);
  if (number.error == NumberError::notANumber) {
    throw LineError{fmt::format("bad number {} for {}", quotedText(text), what())};
  }
  if (number.error == NumberError::tooLarge) {
    throw LineError{fmt::format("{} {} is over {}", what(), escapedText(text), max)};
  }
  return number.value;
}

void checkMask(const EntryKey& key) {
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (std::string fault = maskFault(key, field); !fault.empty()) throw LineError{fault};
  }
}

bool isControl(char c) noexcept {
  unsigned char byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && byte != '\t') || byte == 0x7F;
}

// Whether a word of eight bytes may hold a control character: a byte below a blank, or 0x7F.
bool mayHoldControl(U64 word) noexcept {
  constexpr U64 ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  U64 deleted = word ^ (0x7F * ones);
  return (((word - 0x20 * ones) & ~word) | ((deleted - ones) & ~deleted)) & highs;
}

// Control characters have no place in a policy, comments included; a tab separates words like
// a blank. Most lines have none: they are passed over eight bytes at a time.
void checkCharacters(std::string_view line) {
  std::size_t at = 0;
  for (U64 word; at + sizeof word <= line.size(); at += sizeof word) {
    std::memcpy(&word, line.data() + at, sizeof word);
    if (mayHoldControl(word)) break;
  }
  auto control =
      std::find_if(line.begin() + static_cast<std::ptrdiff_t>(at), line.end(), isControl);
  if (control != line.end()) {
    throw LineError{"control character " + escapedText(std::string_view(&*control, 1))};
  }
}

// The words of `line` before a comment.
void splitWords(std::string_view line, std::vector<std::string_view>& words) {
  words.clear();
  const char* end = line.data() + line.size();
  for (const char* at = line.data(); at != end && *at != '#';) {
    if (*at == ' ' || *at == '\t') {
      ++at;
      continue;
    }
    const char* start = at;
    while (at != end && *at != ' ' && *at != '\t' && *at != '#')
      ++at;
    words.emplace_back(start, static_cast<std::size_t>(at - start));
  }
}

std::pair<std::string_view, std::string_view> assignment(std::string_view word) {
  std::size_t equals = word.find('=');
  if (equals == std::string_view::npos) {
    throw LineError{"expected name=value, got " + quotedText(word)};
  }
  return {word.substr(0, equals), word.substr(equals + 1)};
}

using Words = std::span<const std::string_view>;

constexpr std::array<std::string_view, 2> actionParameters = {"tc", "qid"};

LineError missingActionParameter(std::string_view name) {
  return LineError{"missing action parameter " + std::string(name)};
}

EntryAction actionOf(Words words) {
  std::optional<U8> tc;
  std::optional<U8> qid;
  for (std::string_view word : words) {
    auto [name, value] = assignment(word);
    std::optional<U8>* target = name == "tc" ? &tc : name == "qid" ? &qid : nullptr;
    if (!target) throw LineError{"unknown action parameter " + quotedText(name)};
    if (*target) throw LineError{std::string(name) + " given twice"};
    *target = static_cast<U8>(numberOf(value, 255, [what = name] { return what; }));
  }
  if (!tc) throw missingActionParameter(actionParameters[0]);
  if (!qid) throw missingActionParameter(actionParameters[1]);
  return {*tc, *qid};
}

EntryKey keyOf(Words words) {
  EntryKey key;
  bool fieldGiven[keyFieldCount] = {};
  bool priorityGiven = false;
  for (std::string_view word : words) {
    auto [name, text] = assignment(word);
    if (name == "prio" || name == "priority") {
      if (priorityGiven) throw LineError{"priority given twice"};
      priorityGiven = true;
      key.priority = static_cast<U32>(numberOf(text, 0xFFFFFFFFu, [] { return "priority"; }));
      continue;
    }
    std::optional<std::size_t> field = keyFieldNamed(name);
    if (!field) throw LineError{"unknown field " + quotedText(name)};
    if (fieldGiven[*field]) throw LineError{escapedText(name) + " given twice"};
    fieldGiven[*field] = true;
    std::size_t slash = text.find('/');
    const char* shortName = keyFields[*field].shortName;
    key.value[*field] = static_cast<U8>(numberOf(
        text.substr(0, slash), 255, [shortName] { return fmt::format("{} value", shortName); }));
    key.mask[*field] = slash == std::string_view::npos
                           ? 0xFF
                           : static_cast<U8>(numberOf(text.substr(slash + 1), 255, [shortName] {
                               return fmt::format("{} mask", shortName);
                             }));
  }
  checkMask(key);
  return key;
}

// A line of the policy: an entry, or the default action, which has no key.
struct PolicyLine {
  std::optional<EntryKey> key;
  EntryAction action;
};

// The attributes that a line of the string form, parsed already, gives: each quoted name that
// ": " follows (a type's name is followed by ", ** {").
std::vector<std::string_view> attributesGiven(std::string_view text) {
  std::vector<std::string_view> names;
  for (std::size_t end = text.find("': "); end != std::string_view::npos;
       end = text.find("': ", end + 1)) {
    const std::size_t start = text.rfind('\'', end - 1);
    if (start != std::string_view::npos) names.push_back(text.substr(start + 1, end - start - 1));
  }
  return names;
}

// The string form takes an attribute left out for 0. As in the other forms, a policy's action
// says both of its numbers, and a field given a mask says its value.
void checkAttributesGiven(std::string_view line) {
  const std::size_t actionAt = std::min(line.find("'action'"), line.size());
  const std::vector<std::string_view> match = attributesGiven(line.substr(0, actionAt));
  const std::vector<std::string_view> action = attributesGiven(line.substr(actionAt));
  auto given = [](const std::vector<std::string_view>& names, std::string_view attribute) {
    return std::find(names.begin(), names.end(), attribute) != names.end();
  };
  for (std::string_view parameter : actionParameters) {
    if (!given(action, parameter)) throw missingActionParameter(parameter);
  }
  for (const KeyField& field : keyFields) {
    const std::string mask = std::string(field.attribute) + "Mask";
    if (given(match, mask) && !given(match, field.attribute)) {
      throw LineError{fmt::format("{} given without {}", mask, field.attribute)};
    }
  }
}

// A line in the table entry's string form; an entry without a match is the default action.
PolicyLine entryFormOf(std::string_view line) {
  IngressTrafficClassTableEntry entry;
  try {
    Kiv::valueFromStrep(kivTypeTableEntry, line, &entry);
  } catch (const Kiv::Exception& error) {
    throw LineError{escapedText(error.what(), reasonLengthMax)};
  }
  auto* action = dynamic_cast<const SetTrafficClassAndEgressQidActionSpec*>(entry.action().ptr());
  if (!action) throw LineError{"missing action: the entry has no traffic class and queue action"};
  checkAttributesGiven(line);
  if (!entry.match()) return {std::nullopt, {action->tc(), action->qid()}};
  EntryKey key = entryKeyOf(*entry.match());
  checkMask(key);
  return {key, {action->tc(), action->qid()}};
}

// A line in the compact form, or "default -> tc=N qid=N".
PolicyLine compactLineOf(Words words) {
  auto arrow = std::find(words.begin(), words.end(), "->");
  if (arrow == words.end()) {
    const bool joined = std::any_of(words.begin(), words.end(), [](std::string_view word) {
      return word.find("->") != std::string_view::npos;
    });
    throw LineError{joined ? "'->' stands apart from the words around it: '... -> tc=N qid=N'"
                           : "missing action: expected '-> tc=N qid=N'"};
  }
  // Read from the left, so that an error names the first word that is wrong.
  if (words.front() == "default") {
    if (arrow != words.begin() + 1) throw LineError{"the default action takes no key fields"};
    return {std::nullopt, actionOf({arrow + 1, words.end()})};
  }
  EntryKey key = keyOf({words.begin(), arrow});
  return {key, actionOf({arrow + 1, words.end()})};
}

PolicyLine policyLineOf(std::string_view line, std::vector<std::string_view>& words) {
  if (line.starts_with(partOfTableLine)) {
    throw LineError{partOfTableText("the file")};
  }
  checkCharacters(line);
  splitWords(line, words);
  if (words.empty()) return {};
  if (words.front().starts_with("Value(")) {
    std::string_view content = line.substr(0, line.find('#'));
    return entryFormOf(content.substr(content.find("Value(")));
  }
  return compactLineOf(words);
}

// A run of whole lines of the source, parsed apart from the others: what it holds up to its
// first refused line, or up to a second default action.
struct LineBatch {
  unsigned firstLine = 0;  // the number of its first line
  std::string text;        // its lines, each ended by a line feed
  std::vector<PolicyEntry> entries;
  std::vector<std::pair<unsigned, EntryAction>> defaults;   // with their lines; at most two
  std::optional<std::pair<unsigned, std::string>> refusal;  // its first refused line, and why

  void clear() {
    text.clear();
    entries.clear();
    defaults.clear();
    refusal.reset();
  }
};

// Big enough that a thread's start is a small part of its work.
constexpr std::size_t batchBytes = std::size_t{2} << 20;

// Copies lines of `source` into `batch` up to about batchBytes. Gives whether the source may hold
// more; a failure to read is kept in `readFailure`, to be raised once the lines before it have
// been taken.
bool batchRead(PolicySource& source, LineBatch& batch, std::exception_ptr& readFailure) {
  batch.firstLine = source.lineNumber() + 1;
  std::string_view line;
  try {
    while (batch.text.size() < batchBytes) {
      if (!source.readLine(line)) return false;
      ProgressPhase::tick(source.lineNumber());
      batch.text.append(line).push_back('\n');
    }
    return true;
  } catch (const PolicyError&) {
    readFailure = std::current_exception();
    return false;
  }
}

void batchParse(LineBatch& batch) {
  std::vector<std::string_view> words;
  unsigned number = batch.firstLine;
  for (std::size_t at = 0; at < batch.text.size(); ++number) {
    const std::size_t end = batch.text.find('\n', at);
    const std::string_view line(batch.text.data() + at, end - at);
    at = end + 1;
    try {
      PolicyLine parsed = policyLineOf(line, words);
      if (words.empty()) continue;
      if (parsed.key) {
        batch.entries.push_back({*parsed.key, parsed.action, number});
      } else {
        batch.defaults.push_back({number, parsed.action});
        if (batch.defaults.size() == 2) return;  // refused, if nothing before it is
      }
    } catch (const LineError& error) {
      batch.refusal = {number, error.reason};
      return;
    }
  }
}

std::string secondDefaultText(unsigned firstLine) {
  return fmt::format("a second default action (the first is on line {})", firstLine);
}

// Adds what `batch` holds to `policy`, or raises the refusal of the first line that is refused:
// one that the batch refused, a second default action, or an entry past the most a policy holds.
void batchTake(Policy& policy, LineBatch& batch) {
  std::optional<std::pair<unsigned, std::string>> refusal = std::move(batch.refusal);
  auto refuseAt = [&refusal](unsigned line, std::string reason) {
    if (!refusal || line < refusal->first) refusal = {line, std::move(reason)};
  };
  if (policy.defaultAction && !batch.defaults.empty()) {
    refuseAt(batch.defaults[0].first, secondDefaultText(policy.defaultLine));
  } else if (batch.defaults.size() == 2) {
    refuseAt(batch.defaults[1].first, secondDefaultText(batch.defaults[0].first));
  }
  const std::size_t room = policyEntriesMax - policy.entries.size();
  if (batch.entries.size() > room) refuseAt(batch.entries[room].line, tooManyEntriesText());
  if (refusal) throw PolicyError(policy.source, refusal->first, refusal->second);
  if (!batch.defaults.empty())
    std::tie(policy.defaultLine, policy.defaultAction) = batch.defaults[0];
  policy.entries.insert(policy.entries.end(), batch.entries.begin(), batch.entries.end());
}

// Parses `first` on a thread of its own while this one parses `second`. A line in the entry's
// string form makes framework objects, so the framework is made safe for two threads meanwhile.
void batchesParse(LineBatch& first, LineBatch& second) {
  Kiv::threadSafePtrIs(true);
  // Parsed by wait() instead when no thread can be had.
  std::future<void> parsed =
      std::async(std::launch::async | std::launch::deferred, batchParse, std::ref(first));
  batchParse(second);
  parsed.wait();
  Kiv::threadSafePtrIs(false);
  parsed.get();
}

// The lines are read in batches, two at a time, and each pair is parsed on two threads.
Policy policyOfLines(PolicySource& source) {
  Policy policy;
  policy.source = source.name();
  ProgressPhase reading("reading the policy");
  std::exception_ptr readFailure;
  LineBatch first, second;  // kept from one pair to the next, with the memory they have taken
  for (bool more = true; more;) {
    first.clear();
    second.clear();
    more = batchRead(source, first, readFailure);
    if (more) {
      more = batchRead(source, second, readFailure);
      batchesParse(first, second);
    } else {
      batchParse(first);
    }
    batchTake(policy, first);
    batchTake(policy, second);
    if (readFailure) std::rethrow_exception(readFailure);
  }
  return policy;
}

// Sorts the entries by key; two entries with one key and priority are refused at the later
// line (of several such pairs, the one that comes first in the file), naming the key, which tells
// them apart on a line of many (a JSON document written on one line).
void sortAndCheckPolicy(Policy& policy) {
  std::vector<PolicyEntry>& entries = policy.entries;
  sortInParallel(entries.begin(), entries.end(),
                 [](const PolicyEntry& left, const PolicyEntry& right) {
                   return std::tie(left.key, left.line) < std::tie(right.key, right.line);
                 });
  const PolicyEntry* refused = nullptr;
  unsigned firstLine = 0;
  for (std::size_t run = 0, next; run < entries.size(); run = next) {
    for (next = run + 1; next < entries.size() && entries[next].key == entries[run].key; ++next) {
    }
    if (next > run + 1 && (!refused || entries[run + 1].line < refused->line)) {
      refused = &entries[run + 1];
      firstLine = entries[run].line;
    }
  }
  if (refused) {
    throw PolicyError(
        policy.source, refused->line,
        fmt::format("same key and priority as line {}: {}", firstLine, keyText(refused->key)));
  }
}

}  // namespace

std::optional<std::size_t> keyFieldNamed(std::string_view name) {
  // Both names of every field, measured once.
  static const auto names = [] {
    std::array<std::pair<std::string_view, std::string_view>, keyFieldCount> names;
    for (std::size_t field = 0; field < keyFieldCount; ++field)
      names[field] = {keyFields[field].shortName, keyFields[field].attribute};
    return names;
  }();
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (name == names[field].first || name == names[field].second) return field;
  }
  return std::nullopt;
}

std::string maskFault(const EntryKey& key, std::size_t field) {
  if (!(key.value[field] & ~key.mask[field])) return {};
  return fmt::format("{} value {:#x} has bits outside its mask {:#x}", keyFields[field].shortName,
                     key.value[field], key.mask[field]);
}

std::string tooManyEntriesText() {
  return fmt::format("more than {} entries, more than a table holds", policyEntriesMax);
}

std::string partOfTableText(std::string_view holder, std::string_view mark) {
  return fmt::format(
      "{} holds only the entries that a packet matches{}, not a whole table: show the table "
      "without packet fields for a policy",
      holder, mark);
}

Policy readPolicy(const std::string& path) {
  PolicySource source(path);
  const bool document = source.holdsJsonDocument();
  Policy policy = document ? policyOfDocument(source) : policyOfLines(source);
  // Lines that hold nothing (none, blank ones, comments) are more likely a generator or a pipeline
  // that failed than a table to empty; a JSON document of no entries says so on purpose.
  if (!document && policy.entries.empty() && !policy.defaultAction) {
    throw PolicyError(source.name(),
                      "no entry and no default action; to remove every entry, run clear");
  }
  sortAndCheckPolicy(policy);
  return policy;
}

EntryKey entryKeyOf(const IngressTrafficClassMatchSpec& match) {
  EntryKey key;
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    key.value[field] = (match.*keyFields[field].value)();
    key.mask[field] = (match.*keyFields[field].mask)();
  }
  key.priority = match.priority();
  return key;
}

IngressTrafficClassMatchSpec::Ptr matchOf(const EntryKey& key) {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    ((*match).*keyFields[field].valueIs)(key.value[field]);
    ((*match).*keyFields[field].maskIs)(key.mask[field]);
  }
  match->priorityIs(key.priority);
  return match;
}

SetTrafficClassAndEgressQidActionSpec::Ptr actionSpecOf(const EntryAction& action) {
  SetTrafficClassAndEgressQidActionSpec::Ptr made = setTrafficClassAndEgressQidActionSpecFactory();
  made->tcIs(action.tc);
  made->qidIs(action.qid);
  return made;
}

IngressTrafficClassTableEntry tableEntryOf(const IngressTrafficClassMatchSpec::PtrConst& match,
                                           const EntryAction& action) {
  return IngressTrafficClassTableEntry(match, actionSpecOf(action));
}

}  // namespace TcAgent
